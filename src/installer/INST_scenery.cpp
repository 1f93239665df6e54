// INST_scenery: the installed-scenery scan that seeds the tile selection.
#include "installer/INST_scenery.h"

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "base/FILE_ops.h"
#include "installer/INST_globals.h"
#include "installer/INST_scan.h"

namespace {

struct region {
    int x0, x1, y0, y1;
};
// Longitude -130 to -50 by latitude 30 to 80; -10 to 20 by 40 to 70; 110 to 160 by -40 to 0.
constexpr region default_regions[] = {{5, 12, 12, 16}, {17, 19, 13, 15}, {29, 33, 5, 8}};

// The name of every tile folder ("+40-080") and its cell index.
const std::map<std::string, int>& tile_folder_names() {
    static const std::map<std::string, int> names = [] {
        std::map<std::string, int> m;
        for (int lon = -180; lon <= 170; lon += 10)
            for (int lat = -90; lat <= 80; lat += 10) {
                char name[16];
                std::snprintf(name, sizeof name, "%+03d%+04d", lat, lon);
                m[name] = ((lon + 180) / 10) * UTL_TILES_Y + (lat + 90) / 10;
            }
        return m;
    }();
    return names;
}

bool same_letters(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        char ca = a[i], cb = b[i];
        if (ca >= 'A' && ca <= 'Z')
            ca = static_cast<char>(ca - 'A' + 'a');
        if (cb >= 'A' && cb <= 'Z')
            cb = static_cast<char>(cb - 'A' + 'a');
        if (ca != cb)
            return false;
    }
    return i == a.size() && b[i] == 0;
}

// The entries of `folder` (ending in '/') whose name is `name` in any letter case, as folder paths.
std::vector<std::string> find_any_case(const std::string& folder, const char* name) {
    std::vector<std::string> names, found;
    std::vector<int> types;
    FILE_list_folder(folder, 0, names, types);
    for (const std::string& n : names)
        if (same_letters(n, name))
            found.push_back(folder + n + "/");
    return found;
}

bool has_entries(const std::string& folder) {
    std::vector<std::string> names;
    std::vector<int> types;
    return FILE_list_folder(folder, 0, names, types) > 0;
}

void scan_pack(const std::string& pack, tile_grid& selection) {
    const std::map<std::string, int>& tiles = tile_folder_names();
    for (const std::string& nav : find_any_case(pack, "Earth nav data")) {
        std::vector<std::string> names;
        std::vector<int> types;
        FILE_list_folder(nav, 0, names, types);
        for (const std::string& n : names) {
            auto it = tiles.find(n);
            if (it != tiles.end() && has_entries(nav + n + "/"))
                selection.cells[it->second] = 1;
        }
    }
}

} // namespace

void INST_scan_installed_scenery(int defaults) {
    tile_grid& selection = INST_tile_selection;
    selection = tile_grid{};
    if (defaults) {
        for (const region& r : default_regions)
            for (int x = r.x0; x <= r.x1; ++x)
                for (int y = r.y0; y <= r.y1; ++y)
                    selection.at(x, y) = 1;
        return;
    }
    if (INST_install_folder.empty())
        return;
    std::string root = INST_install_folder;
    if (root.back() != '/')
        root += '/';
    for (const std::string& scenery : find_any_case(root, "Global Scenery")) {
        std::vector<std::string> packs;
        std::vector<int> types;
        FILE_list_folder(scenery, 0, packs, types);
        for (size_t i = 0; i < packs.size(); ++i)
            if (types[i] == 1)
                scan_pack(scenery + packs[i] + "/", selection);
    }
}
