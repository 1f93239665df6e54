// OGL_back_tex: the start-up picture "intro.png" cut into 512 x 512 texture tiles.
//
// DESIGN: the picture is placed into the texture manager's 2048 x 2048 scratch image and held as a
// run-length image whose runs stop at the 512-pixel tile edges (RLE_blit); each tile is cut out of it and
// replaces the pixels of its texture, manual ref 1026 + columns x row + column. One lock, made on the first
// call, covers the whole routine, so the window layer may call it at any time; the GL calls need the
// caller's thread to hold the context.
#pragma once
#include <cstdint>
#include <vector>

constexpr int BACK_TEX_FIRST_REF = 1026;
constexpr int BACK_TEX_TILE = 512;     // tile side, pixels
constexpr int BACK_TEX_SCRATCH = 2048; // side of the scratch image the picture is placed in

// Refreshes every tile from "Resources/bitmaps/intro.png" while the start-up screen (-1) is current;
// on any other screen it does nothing. A picture that cannot be read ends the program (kind-2 alert).
void OGL_back_tex_load();

// Places a picture (width x height RGBA pixels, bottom-up rows) at the bottom-left corner of `scratch`
// (BACK_TEX_SCRATCH x BACK_TEX_SCRATCH pixels, already cleared), cutting off what lies beyond its right or
// top edge, and returns the scratch image run-length encoded in rows of BACK_TEX_SCRATCH pixels with runs
// cut at every BACK_TEX_TILE pixels.
std::vector<uint32_t> OGL_back_tex_encode(const uint32_t* picture, int width, int height, uint32_t* scratch);
