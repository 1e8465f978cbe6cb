// Start-up and shutdown steps the demo and the viewer share.
#pragma once

// Loads the glyph sheet and hands it to the font; the one texture sampled
// with nearest filtering.
void app_load_font();
// Frees what start-up made (vertex profiles, font, window) and closes the
// report. Returns status when it is not 0, else the exit code a message
// asked for.
int app_close(int status);
