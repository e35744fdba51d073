#!/usr/bin/perl
# The resource files as the wine build's wrc must see them: copied into one folder, each
# .ico file with its directory in the reverse order. wrc writes an icon group's entries
# in the reverse of the file's order, windres keeps it, and LoadImageW with size 0 takes
# the group's first entry; with the reversed copies both programs carry the same groups.
# The images stay where they are: every directory entry keeps its own offset.
#
#   wrc_resources.pl <output folder> <resource files...>
use strict;
use warnings;
use File::Basename;
use File::Path qw(make_path);

my ($to, @files) = @ARGV;
make_path($to);
for my $file (@files) {
  open(my $in, '<:raw', $file) or die "$file: $!\n";
  my $data = do { local $/; <$in> };
  close $in;
  if ($file =~ /\.ico$/i) {
    my ($reserved, $type, $count) = unpack('v3', $data);
    die "$file is not an icon file\n" unless $reserved == 0 && $type == 1 && length($data) >= 6 + 16 * $count;
    my @entries = map { substr($data, 6 + 16 * $_, 16) } 0 .. $count - 1;
    substr($data, 6, 16 * $count) = join('', reverse @entries);
  }
  my $target = "$to/" . basename($file);
  open(my $out, '>:raw', $target) or die "$target: $!\n";
  print $out $data;
  close $out or die "$target: $!\n";
}
