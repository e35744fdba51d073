# The Win32 program: wine (Winelib) and windows (MinGW) builds share these sources.
