// artgen_layout: what the generated interface art holds and where. Every rectangle is in texels, s counted
// from the left and t from the bottom, because the image readers deliver rows bottom-up: texel row t is
// PNG file row H - 1 - t. The generator draws from these tables and checks them; the tests read the
// images back against them.
#pragma once
#include <cstdint>

namespace artgen {

struct rgb {
    uint8_t r, g, b;
};

// The images, with their sizes and resource names.
enum image_id { IMG_INTERFACE, IMG_ELEMENTS, IMG_BACKGROUND, IMG_MAP };
struct image_spec {
    image_id id;
    int width, height, channels;
};
constexpr image_spec interface_image{IMG_INTERFACE, 512, 512, 4};
constexpr image_spec elements_image{IMG_ELEMENTS, 1024, 128, 4};
constexpr image_spec background_image{IMG_BACKGROUND, 1024, 1024, 3};
constexpr image_spec map_image{IMG_MAP, 512, 1024, 4};

// [s0, s1) x [t0, t1).
struct rect {
    int s0, t0, s1, t1;
};

// ---- The interface colours: one swatch texel per colour slot that start-up reads (slot 48 is the mean
// of 44 and 47 and has no swatch). The generator paints a 5 x 5 block centred on each texel.
struct swatch {
    int slot;
    int s, t;
    rgb colour;
};
constexpr swatch swatches[] = {
    {43, 319, 155, {12, 18, 28}},    // screen background
    {44, 319, 147, {112, 134, 162}}, // light edge of separators
    {45, 319, 139, {80, 140, 210}},  // hover fill (drawn at a quarter alpha)
    {46, 319, 131, {6, 10, 16}},     // dark edge of separators
    {47, 319, 123, {226, 232, 240}}, // menu text
    {49, 319, 115, {255, 208, 112}}, // caption of the titled dialog frame
    {50, 319, 107, {96, 176, 112}},  // spare accent, green
    {51, 319, 99, {214, 84, 72}},    // spare accent, red
    {52, 319, 91, {236, 240, 245}},  // body text, labels, captions
    {54, 319, 83, {168, 196, 228}},  // secondary text, captions beside buttons
    {55, 319, 75, {120, 132, 150}},  // muted
    {56, 319, 67, {250, 236, 190}},  // tooltip text, caption of the status box
    {53, 395, 115, {255, 170, 50}},  // spare accent, amber
};

// ---- Frames and strips. Each has its fill (where text sits) and, for the titled frame, its title band.
// A text colour drawn on a style must contrast at least 4.5:1 with every surface of that style.
struct frame1_spec {
    int style;
    image_id image;
    int cap, width, height;
    int s, t; // source origin
};
constexpr frame1_spec frame1_styles[] = {
    {1, IMG_INTERFACE, 10, 100, 26, 1, 487},  {2, IMG_INTERFACE, 20, 100, 26, 102, 487},
    {3, IMG_INTERFACE, 10, 52, 26, 304, 486}, {4, IMG_INTERFACE, 10, 52, 26, 304, 459},
    {5, IMG_INTERFACE, 10, 28, 16, 112, 161}, {6, IMG_INTERFACE, 10, 28, 16, 83, 161},
    {7, IMG_INTERFACE, 10, 65, 24, 240, 242}, {8, IMG_INTERFACE, 7, 16, 16, 289, 219},
    {9, IMG_INTERFACE, 10, 51, 26, 262, 133}, {10, IMG_INTERFACE, 26, 68, 24, 357, 488},
    {11, IMG_ELEMENTS, 16, 48, 31, 926, 96},  {12, IMG_ELEMENTS, 16, 48, 31, 975, 96},
    {13, IMG_ELEMENTS, 16, 48, 31, 877, 96},
};
struct frame2_spec {
    int style;
    image_id image;
    int side; // the source square
    int s, t;
};
constexpr frame2_spec frame2_styles[] = {
    {14, IMG_INTERFACE, 100, 1, 358},   {15, IMG_INTERFACE, 100, 102, 358},
    {16, IMG_INTERFACE, 100, 203, 358}, {17, IMG_INTERFACE, 100, 304, 358},
    {18, IMG_INTERFACE, 100, 405, 358}, {19, IMG_INTERFACE, 68, 1, 289},
    {20, IMG_INTERFACE, 42, 70, 315},   {21, IMG_INTERFACE, 42, 113, 315},
    {22, IMG_INTERFACE, 44, 440, 12},   {23, IMG_ELEMENTS, 41, 982, 2},
};

// The nine-slice frames repeat the middle of their source square: the top band (0.3 of the side, 14 texels
// for style 20) must hold the whole title band and its outline, or the band's edge repeats down the sides.
constexpr int frame2_top_band(const frame2_spec& f) { return f.style == 20 ? 14 : f.side * 3 / 10; }
constexpr int frame2_border = 2;

// Frames whose outline stands inside the grown rectangle the widget draws: that many texels of its outsets
// (left and right, bottom, top: 9, 14 and 4 for the inner panel) stay clear. The inner panel keeps its
// outline at the sides and top on the rectangle it is given, and 3 below it at the bottom: a button centred
// 18 above the dialog's bottom (the language chooser's Accept) ends below the outline, and a radio on the
// panel's bottom line (the chooser's eighth language) above it.
struct frame2_inset {
    int style;
    int side, bottom, top;
};
constexpr frame2_inset frame2_insets[] = {{16, 9, 11, 4}};

// The look of each style: the outline, the fill and (titled frame, bars) a band along the top.
struct style_look {
    int style;
    rgb border, fill, band;
    int band_height; // 0: no band
};
constexpr style_look style_looks[] = {
    {1, {6, 10, 16}, {30, 42, 60}, {48, 66, 94}, 8},      // menu bar
    {2, {6, 10, 16}, {30, 42, 60}, {48, 66, 94}, 8},      // dialog header bar
    {3, {8, 14, 24}, {50, 82, 124}, {72, 108, 156}, 6},   // push button
    {4, {8, 14, 24}, {28, 50, 80}, {22, 40, 66}, 6},      // push button, pressed
    {5, {6, 10, 16}, {16, 22, 32}, {10, 14, 22}, 3},      // progress track
    {6, {10, 40, 24}, {64, 168, 96}, {112, 208, 140}, 4}, // progress fill
    {7, {6, 10, 16}, {40, 56, 80}, {56, 76, 106}, 5},     // tab
    {8, {6, 10, 16}, {40, 56, 80}, {56, 76, 106}, 3},     // small knob
    {9, {6, 10, 16}, {22, 30, 44}, {22, 30, 44}, 0},      // text well
    {10, {6, 10, 16}, {30, 40, 56}, {30, 40, 56}, 0},     // label plate
    {11, {12, 30, 60}, {30, 78, 138}, {38, 90, 152}, 7},  // word button
    {12, {8, 20, 44}, {18, 50, 96}, {14, 40, 80}, 7},     // word button, held
    {13, {20, 24, 30}, {30, 34, 42}, {30, 34, 42}, 0},    // word button, dim
    {14, {92, 116, 150}, {26, 36, 52}, {46, 66, 98}, 28}, // titled dialog frame
    {15, {92, 116, 150}, {26, 36, 52}, {26, 36, 52}, 0},  // dialog frame
    {16, {70, 88, 114}, {20, 28, 40}, {20, 28, 40}, 0},   // inner panel
    {17, {150, 140, 110}, {34, 40, 54}, {34, 40, 54}, 0}, // tooltip
    {18, {92, 116, 150}, {20, 30, 46}, {20, 30, 46}, 0},  // start-up status box
    {19, {6, 10, 16}, {16, 22, 32}, {16, 22, 32}, 0},     // sunken well
    {20, {92, 116, 150}, {30, 40, 56}, {30, 40, 56}, 0},  // popup menu
    {21, {70, 88, 114}, {24, 32, 46}, {24, 32, 46}, 0},   // group box
    {22, {70, 88, 114}, {24, 32, 46}, {24, 32, 46}, 0},   // small panel
    {23, {84, 108, 140}, {22, 32, 48}, {22, 32, 48}, 0},  // wizard panels
};

// Text colour slot on style: every pair the interface draws and that must stay readable.
struct contrast_rule {
    int slot, style;
};
constexpr contrast_rule contrast_rules[] = {
    {52, 14}, {52, 15}, {52, 23}, {54, 9},  {54, 23}, {47, 10},
    {47, 20}, {56, 17}, {56, 18}, {49, 14}, {52, 3},  {52, 4},
};
constexpr double min_contrast = 4.5;

// ---- Small pieces of the interface atlas (centre and half size, or a rectangle).
constexpr rect check_box{139, 178, 157, 196};         // look 0 box, centre (148, 187)
constexpr rect check_tick{139, 197, 157, 215};        // look 0 tick, centre (148, 206)
constexpr rect radio_box{83, 123, 101, 141};          // other looks, centre (92, 132)
constexpr rect radio_dot{83, 142, 101, 160};          // centre (92, 151)
constexpr rect corner_button{120, 178, 138, 196};     // style flag clear, centre row 187
constexpr rect corner_button_lit{120, 197, 138, 215}; // style flag set, centre row 206
constexpr rect menu_arrow{158, 178, 176, 196};        // centre (167, 187)

// Cursor images: the halves that the wider cursors are made of. Cursor 3 is 4 + 5, 6 is 7 + 8, 9 is
// 10 + 11, 12 is 13 + 14, 15 is 16 + 17.
struct cursor_part {
    int id;
    rect r;
};
constexpr cursor_part cursor_parts[] = {
    {4, {199, 328, 230, 357}},  {5, {230, 328, 261, 357}},  {7, {199, 291, 230, 327}},
    {8, {230, 291, 261, 327}},  {10, {262, 310, 294, 357}}, {11, {294, 310, 326, 357}},
    {13, {487, 309, 506, 333}}, {14, {487, 333, 506, 357}}, {16, {262, 291, 294, 309}},
    {17, {294, 291, 326, 309}}, {22, {199, 250, 239, 290}},
};
// Grid cells (30 x 30 at L = 200 + 32a, B = 293 + 32b) that cursors 18-21, 23 and 24 use. Cell (0, 0),
// the fallback for unknown ids, lies inside cursor 7 and is not drawn on its own.
struct cursor_cell {
    int id;
    bool dragging; // the look of 18 and 19 while a text selection is dragged
    int a, b;
};
constexpr cursor_cell cursor_cells[] = {
    {18, false, 4, 1},  {18, true, 5, 1},   {19, false, 4, 0}, {19, true, 5, 0},
    {20, false, -1, 1}, {21, false, -1, 0}, {23, false, 8, 1}, {24, false, 7, 1},
};
constexpr rect cell_rect(int a, int b) { return {200 + 32 * a, 293 + 32 * b, 230 + 32 * a, 323 + 32 * b}; }

// ---- The element atlases: seven words in three looks, per language.
constexpr int word_count = 7;
constexpr int language_count = 6;
struct word_row {
    int t0, t1;
    rgb ink;
};
constexpr word_row word_rows[3] = {
    {46, 68, {255, 255, 255}}, // normal
    {0, 22, {255, 214, 120}},  // hovered
    {23, 45, {214, 228, 255}}, // pressed
};
constexpr int word_margin = 1;
struct language_words {
    const char* name; // the resource is "elements_" + name + ".png"
    int edges[word_count + 1];
    const char* words[word_count]; // QUIT, GO BACK, CONTINUE, SELECT ALL, SELECT NONE, BUY ONLINE, OPTIONS
};
constexpr language_words languages[language_count] = {
    {"English",
     {0, 56, 145, 246, 357, 489, 605, 691},
     {"QUIT", "GO BACK", "CONTINUE", "SELECT ALL", "SELECT NONE", "BUY ONLINE", "OPTIONS"}},
    {"French",
     {0, 91, 172, 284, 477, 695, 874, 958},
     {"QUITTER", "RETOUR", "CONTINUER", "TOUT SÉLECTIONNER", "NE RIEN SÉLECTIONNER", "ACHETER EN LIGNE",
      "OPTIONS"}},
    {"German",
     {0, 96, 181, 256, 422, 611, 762, 859},
     {"BEENDEN", "ZURÜCK", "WEITER", "ALLE AUSWÄHLEN", "KEINE AUSWÄHLEN", "ONLINE KAUFEN", "OPTIONEN"}},
    {"Russian",
     {0, 75, 144, 211, 346, 422, 501, 616},
     {"ВЫХОД", "НАЗАД", "ДАЛЕЕ", "ВЫБРАТЬ ВСЁ", "СБРОС", "КУПИТЬ", "НАСТРОЙКИ"}},
    {"Italian",
     {0, 54, 212, 312, 480, 673, 840, 921},
     {"ESCI", "TORNA INDIETRO", "CONTINUA", "SELEZIONA TUTTO", "DESELEZIONA TUTTO", "ACQUISTA ONLINE",
      "OPZIONI"}},
    {"Spanish",
     {0, 60, 156, 269, 421, 606, 789, 892},
     {"SALIR", "VOLVER", "CONTINUAR", "SELECCIONAR TODO", "NO SELECCIONAR", "COMPRAR EN LÍNEA", "OPCIONES"}},
};
// The columns that words of any language may take: the widest language ends here.
constexpr int words_right_edge = 958;

// ---- The world map: three 504 x 252 pictures, 14-texel tiles of 10 degrees.
constexpr int map_width = 504, map_height = 252, map_tile = 14;
constexpr int map_rows_t0 = 0, offered_rows_t0 = 252, selected_rows_t0 = 504;

// ---- Every region of every image, none overlapping another of its image, each inside its image.
struct region {
    const char* name;
    image_id image;
    rect r;
};
// Styles 1 and 2 are 26 rows tall from t 487 and so reach one row past the top; only 25 rows exist.
constexpr region regions[] = {
    {"frame1 style 1", IMG_INTERFACE, {1, 487, 101, 512}},
    {"frame1 style 2", IMG_INTERFACE, {102, 487, 202, 512}},
    {"frame1 style 3", IMG_INTERFACE, {304, 486, 356, 512}},
    {"frame1 style 4", IMG_INTERFACE, {304, 459, 356, 485}},
    {"frame1 style 5", IMG_INTERFACE, {112, 161, 140, 177}},
    {"frame1 style 6", IMG_INTERFACE, {83, 161, 111, 177}},
    {"frame1 style 7", IMG_INTERFACE, {240, 242, 305, 266}},
    {"frame1 style 8", IMG_INTERFACE, {289, 219, 305, 235}},
    {"frame1 style 9", IMG_INTERFACE, {262, 133, 313, 159}},
    {"frame1 style 10", IMG_INTERFACE, {357, 488, 425, 512}},
    {"frame2 style 14", IMG_INTERFACE, {1, 358, 101, 458}},
    {"frame2 style 15", IMG_INTERFACE, {102, 358, 202, 458}},
    {"frame2 style 16", IMG_INTERFACE, {203, 358, 303, 458}},
    {"frame2 style 17", IMG_INTERFACE, {304, 358, 404, 458}},
    {"frame2 style 18", IMG_INTERFACE, {405, 358, 505, 458}},
    {"frame2 style 19", IMG_INTERFACE, {1, 289, 69, 357}},
    {"frame2 style 20", IMG_INTERFACE, {70, 315, 112, 357}},
    {"frame2 style 21", IMG_INTERFACE, {113, 315, 155, 357}},
    {"frame2 style 22", IMG_INTERFACE, {440, 12, 484, 56}},
    {"check box", IMG_INTERFACE, check_box},
    {"check tick", IMG_INTERFACE, check_tick},
    {"radio box", IMG_INTERFACE, radio_box},
    {"radio dot", IMG_INTERFACE, radio_dot},
    {"corner button", IMG_INTERFACE, corner_button},
    {"corner button lit", IMG_INTERFACE, corner_button_lit},
    {"menu arrow", IMG_INTERFACE, menu_arrow},
    {"cursor 4", IMG_INTERFACE, {199, 328, 230, 357}},
    {"cursor 5", IMG_INTERFACE, {230, 328, 261, 357}},
    {"cursor 7", IMG_INTERFACE, {199, 291, 230, 327}},
    {"cursor 8", IMG_INTERFACE, {230, 291, 261, 327}},
    {"cursor 10", IMG_INTERFACE, {262, 310, 294, 357}},
    {"cursor 11", IMG_INTERFACE, {294, 310, 326, 357}},
    {"cursor 13", IMG_INTERFACE, {487, 309, 506, 333}},
    {"cursor 14", IMG_INTERFACE, {487, 333, 506, 357}},
    {"cursor 16", IMG_INTERFACE, {262, 291, 294, 309}},
    {"cursor 17", IMG_INTERFACE, {294, 291, 326, 309}},
    {"cursor 22", IMG_INTERFACE, {199, 250, 239, 290}},
    {"cursor cell (4, 1)", IMG_INTERFACE, cell_rect(4, 1)},
    {"cursor cell (5, 1)", IMG_INTERFACE, cell_rect(5, 1)},
    {"cursor cell (4, 0)", IMG_INTERFACE, cell_rect(4, 0)},
    {"cursor cell (5, 0)", IMG_INTERFACE, cell_rect(5, 0)},
    {"cursor cell (-1, 1)", IMG_INTERFACE, cell_rect(-1, 1)},
    {"cursor cell (-1, 0)", IMG_INTERFACE, cell_rect(-1, 0)},
    {"cursor cell (8, 1)", IMG_INTERFACE, cell_rect(8, 1)},
    {"cursor cell (7, 1)", IMG_INTERFACE, cell_rect(7, 1)},
    {"swatch 43", IMG_INTERFACE, {317, 153, 322, 158}},
    {"swatch 44", IMG_INTERFACE, {317, 145, 322, 150}},
    {"swatch 45", IMG_INTERFACE, {317, 137, 322, 142}},
    {"swatch 46", IMG_INTERFACE, {317, 129, 322, 134}},
    {"swatch 47", IMG_INTERFACE, {317, 121, 322, 126}},
    {"swatch 49", IMG_INTERFACE, {317, 113, 322, 118}},
    {"swatch 50", IMG_INTERFACE, {317, 105, 322, 110}},
    {"swatch 51", IMG_INTERFACE, {317, 97, 322, 102}},
    {"swatch 52", IMG_INTERFACE, {317, 89, 322, 94}},
    {"swatch 54", IMG_INTERFACE, {317, 81, 322, 86}},
    {"swatch 55", IMG_INTERFACE, {317, 73, 322, 78}},
    {"swatch 56", IMG_INTERFACE, {317, 65, 322, 70}},
    {"swatch 53", IMG_INTERFACE, {393, 113, 398, 118}},
    {"words normal", IMG_ELEMENTS, {0, 46, words_right_edge, 68}},
    {"words hovered", IMG_ELEMENTS, {0, 0, words_right_edge, 22}},
    {"words pressed", IMG_ELEMENTS, {0, 23, words_right_edge, 45}},
    {"frame1 style 11", IMG_ELEMENTS, {926, 96, 974, 127}},
    {"frame1 style 12", IMG_ELEMENTS, {975, 96, 1023, 127}},
    {"frame1 style 13", IMG_ELEMENTS, {877, 96, 925, 127}},
    {"frame2 style 23", IMG_ELEMENTS, {982, 2, 1023, 43}},
    {"background", IMG_BACKGROUND, {0, 0, 1024, 1024}},
    {"map", IMG_MAP, {0, map_rows_t0, map_width, map_rows_t0 + map_height}},
    {"map offered look", IMG_MAP, {0, offered_rows_t0, map_width, offered_rows_t0 + map_height}},
    {"map selected look", IMG_MAP, {0, selected_rows_t0, map_width, selected_rows_t0 + map_height}},
};

} // namespace artgen
