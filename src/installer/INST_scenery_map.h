// INST_scenery_map: the world-map picker of the two disc roads: 36 x 18 tiles of 10 degrees on the world
// map, painted into INST_tile_selection by pressing and dragging.
//
// The map is 504 x 252 units at x 248..752, y 150..402 of the wizard view (y up, latitude band 0 at the
// bottom); tile (x, y) spans x 248 + 14x .. 262 + 14x and y 150 + 14y .. 164 + 14y. Texture 1042 (the
// world map) is read as 512 x 1024 texels holding three 504 x 252 pictures from the top: the bare map,
// the look of offered tiles and their selected look. Only offered tiles are drawn over the bare map, in
// colour slot 104 modulating the texture.
//
// A press on the map takes the opposite of the pressed tile's cell as the paint value; while the button
// is held, every tile whose rectangle strictly overlaps the rectangle between the press and the pointer,
// offered or not, takes the paint value, and the rectangle is drawn as a half-black outline. SELECT NONE
// (atlas word 4, ending at x 770, y 122) clears the selection; SELECT ALL (word 3, ending 5 units left of
// it) selects the offered tiles. Any change recomputes the totals. Main thread only.
#pragma once

// Draws the picker and acts on the frame's input.
void INST_draw_scenery_map();
// The top edge of the map in the wizard's view: the page's body ends above it.
constexpr float INST_SCENERY_MAP_TOP = 402.0f;

// The tile under a map point (bounds inclusive; on a shared edge the tile with the larger x, then the
// larger y, wins); false outside the map.
bool INST_map_tile_at(float x, float y, int* tx, int* ty);
