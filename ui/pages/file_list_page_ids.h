// Control ids of the file-list page and its context menu (menu ids in ui/menu_rules.h).
#pragma once

constexpr int kIdPageCount = 4011;
constexpr int kIdSubfolders = 4015;
constexpr int kIdFileListBox = 4020;
constexpr int kIdFilterBox = 4022;
