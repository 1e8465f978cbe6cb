// The reload errors on screen: what reload_error_text (core/reload.h)
// holds, over the top of the frame in the engine's small font, so the
// person editing sees why an edit did not show.
#pragma once

// Nothing at all (no GL call) while every watched file loads. Otherwise
// the lines go on a dark band across width, from y = top down in the
// current 2D projection (pixels, y down): at most a dozen, each cut to the
// width.
void reload_banner_draw(float top, int width);
