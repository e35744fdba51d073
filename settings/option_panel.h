// What the encoder option panel does to the flag words, apart from its windows: the
// quality its slider shows and sets, the bit each check box owns (from the format's
// record, settings/formats.h), and the label texts. The panel's window code only
// forwards clicks and slider moves here.
#pragma once

#include <cstdint>

#include "settings/app_settings.h"
#include "settings/formats.h"
#include "settings/option_panel_ids.h"


// The bit a check box of the format's panel toggles; 0 for any other control.
int32_t OptionCheckBit(const OutputFormat& format, int controlId);

// The quality shown by the slider: the word without its named flags.
int32_t PanelQuality(int32_t word);

// The panel was built for the format: the bits it always asks for are set (PNG's best
// compression).
void PreparePanelWord(AppSettings* settings, const OutputFormat& format);

// A click on a check box of the panel: its bit flips in the format's word.
void TogglePanelBit(AppSettings* settings, const OutputFormat& format, int controlId);

// A slider move: the quality of a format that has one becomes q; other words stay.
void SetPanelQuality(AppSettings* settings, const OutputFormat& format, int32_t q);

// The label over the slider: "Качество:  84" when the panel is built, "Качество: 60"
// after a move (the number always carries its leading blank).
Text QualityLabelAtBuild(int32_t q);
Text QualityLabelAfterMove(int32_t q);
