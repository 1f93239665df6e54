// INST_scenery: seeds the world-map tile selection from the scenery installed in the copy on disk, or
// with the default regions of a fresh install.
#pragma once

// Sets every cell of the tile selection (INST_scan.h). With `defaults` non-zero: 1 inside the three
// default regions (x 5-12 by y 12-16, x 17-19 by y 13-15, x 29-33 by y 5-8; 69 cells), 0 elsewhere.
// With 0: 1 for each tile that some pack under the install folder's "Global Scenery/" covers with a
// non-empty "Earth nav data/<tile>/" folder, where the tile is named "%+03d%+04d" from its south-west
// corner (+40-080 for latitude 40, longitude -80); 0 elsewhere. The two fixed folder names match in any
// letter case. Main thread; no result.
void INST_scan_installed_scenery(int defaults);
