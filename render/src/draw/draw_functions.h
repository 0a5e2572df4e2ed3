/*
 * The internal functions of the drawing work, one header per concern:
 * blts and images, brushes, paths and clipping, text, device fonts and
 * substitution, font download, and the text work's maths.
 */
#ifndef TARVELGR_DRAW_FUNCTIONS_H
#define TARVELGR_DRAW_FUNCTIONS_H

#include "draw_blt.h"
#include "draw_brush.h"
#include "draw_font.h"
#include "draw_font_download.h"
#include "draw_maths.h"
#include "draw_path.h"
#include "draw_text.h"

#endif /* TARVELGR_DRAW_FUNCTIONS_H */
