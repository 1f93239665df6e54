// hl_init: the toolkit's start-up and the start-up status box.
#include "ui/hl_init.h"

#include <GL/gl.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/APP_alert.h"
#include "base/APP_clock.h"
#include "base/APP_platform_tag.h"
#include "base/CMND_registry.h"
#include "base/DREF_registry.h"
#include "base/FILE_ops.h"
#include "base/FILE_special.h"
#include "base/LANG_localise.h"
#include "base/LOG_log.h"
#include "base/OPT_options.h"
#include "base/PCSB_socket.h"
#include "base/UTL_memory.h"
#include "base/hl_thread.h"
#include "base/xmap.h"
#include "platform/WIN_memory.h"
#include "platform/WIN_system.h"
#include "platform/WIN_window.h"
#include "ui/APP_exit.h"
#include "ui/APP_frame.h"
#include "ui/APP_screens.h"
#include "ui/BTN_widgets.h"
#include "ui/KEY_bindings.h"
#include "ui/MENU_menus.h"
#include "ui/OGL_colour_settings.h"
#include "ui/OGL_extensions.h"
#include "ui/OGL_font.h"
#include "ui/OGL_view.h"
#include "ui/TEX_image.h"
#include "ui/TEX_manager.h"
#include "ui/TEX_png.h"
#include "ui/WIN_window_table.h"
#include "ui/screen_state.h"

int APP_is_64bit = 0;

namespace {

const char product[] = "Aerivon Demo Installer 3.22r1";
const char web_address[] = "www.aerivon.example";

// Start-up's own state (main thread only).
struct startup_state {
    int status_counter = 0;
    platform_callbacks callbacks{};
    platform_callbacks_view callbacks_view;
    xmap_file interface_file;
} startup;

// Pixel (column, row) of the 512 x 512 interface image per colour slot 43..56; slot 48 is the mean of 44
// and 47 and has no pixel.
struct swatch {
    int slot, column, row;
};
const swatch swatches[] = {{43, 319, 155}, {44, 319, 147}, {45, 319, 139}, {46, 319, 131}, {47, 319, 123},
                           {49, 319, 115}, {50, 319, 107}, {51, 319, 99},  {52, 319, 91},  {54, 319, 83},
                           {55, 319, 75},  {56, 319, 67},  {53, 395, 115}};

// A start-up failure that ends the program: a fatal alert with the error exit (kind 3, exit code 1), so
// that a script that started the program can tell. Its first line goes to standard error as well, where
// the alert does not put its text already (its message box writes there before graphics are up).
[[noreturn]] void fatal_start_up(const std::string& line1, const std::string& line2, const std::string& line3,
                                 const std::string& line4, int line) {
    if (OPT_is_test_run() || APP_graphics_up) {
        std::fprintf(stderr, "%s\n", line1.c_str());
        std::fflush(stderr);
    }
    APP_alert(0, line1, line2, line3, line4, 3, __FILE__, line);
    std::_Exit(1); // APP_alert ends the process for kind 3; never reached.
}

[[noreturn]] void fatal_interface_image() {
    fatal_start_up(
        "I cannot open the graphics interface file!",
        "It seems that you have moved this program out of the Sim-Root folder!",
        "NO! NO! Create a shortcut if you want, but do not move the Aerivon application itself out of "
        "the Sim-Root folder that it came in!",
        "", 970);
}

void write_system_report() {
    x_ofstream& out = LOG_stream;
    WIN_os_info os;
    WIN_get_os_info(os);
    out << "Linux " << os.major << "." << os.minor << " (build " << os.release << "/" << os.machine << ") "
        << os.version << "\n";
    APP_is_64bit = WIN_machine_is_64bit(os.machine) ? 1 : 0;
    out << (APP_is_64bit ? "This is a 64-bit version of Linux.\n" : "This is a 32-bit version of Linux.\n");
    APP_platform_tag();
    out << "CPU type: " << os.machine << "\n";
    WIN_memory_status mem;
    if (WIN_global_memory_status(mem)) {
        out << "Physical Memory (total for computer): " << mem.total_phys << "\n";
        out << "Maximum Virtual Memory (for Aerivon only): " << mem.total_virtual << "\n";
    } else {
        out << "Unable to get memory info.\n";
    }
    const std::vector<WIN_cpu_record> cpus = WIN_cpu_records();
    const int count = WIN_processor_count();
    for (int i = 0; i < count; ++i) {
        auto it =
            std::find_if(cpus.begin(), cpus.end(), [i](const WIN_cpu_record& c) { return c.index == i; });
        if (it == cpus.end())
            continue;
        out << "CPU " << i << ": ";
        if (it->has_name)
            out << it->name << " ";
        if (it->has_mhz)
            out << " Speed (mhz): " << it->mhz;
        out << "\n";
    }
}

void write_log_header() {
    x_ofstream& out = LOG_stream;
    out << "Installer log.txt for " << product;
    out << " compiled on " << __DATE__ << " " << __TIME__ << "\n\n";
    out << "This log file is generated automatically by Nordvane Systems applications and contains "
           "diagnostics about your graphics hardware, installation, and any error conditions.\n";
    out << "If you need to contact tech support or file a bug, please send us this file. NOTE: this file is "
           "rewritten every time you start ANY of your Sim-Root applications.\n\n";
    out << "If you got a hard system crash and want to report this to Nordvane Systems, then be sure to send "
           "your crash_report.txt file generated by the crash as well!\n\n";
    write_system_report();
    out << "\nSim-Root folder:'" << FILE_sim_root << "', case sensitive=" << FILE_case_sensitive.load()
        << "\n\n";
    out.flush();
    if (!OPT_store.empty()) {
        const std::string dashes(67, '-');
        out << dashes << "\n";
        out << "Application was launched with the following command line options...\n";
        for (const auto& [key, value] : OPT_store) {
            out << "\t'" << key;
            if (!value.empty())
                out << "'='" << value;
            out << "'\n";
        }
        out << dashes << "\n\n";
    }
}

void hand_callbacks_to_platform() {
    APP_init_platform_callbacks(startup.callbacks);
    platform_callbacks_view& v = startup.callbacks_view;
    v.self = &startup.callbacks;
    v.media_arrived = [](void* self) { static_cast<platform_callbacks*>(self)->media_arrived(); };
    v.devices_changed = [](void* self) { static_cast<platform_callbacks*>(self)->devices_changed(); };
    v.log_text = [](const char* text) {
        LOG_stream << text;
        LOG_stream.flush();
    };
    WIN_set_platform_callbacks(&v);
}

void seed_random() {
    using namespace std::chrono;
    const auto us = duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
    const unsigned seed = static_cast<unsigned>(static_cast<uint64_t>(us) & 0xFFFFFFFFu);
    std::srand(seed);
    for (unsigned i = 0; i < seed % 1000; ++i)
        (void)std::rand();
}

// Steps 18 to 21: the map and background images, the interface atlas from the decoded interface image,
// and the interface colours taken from it.
void load_interface_images() {
    TMAN_load_bitmap(4, 1042, 0x220242, 2, "RESOURCE:map.png");
    TMAN_load_bitmap(4, 1043, 0x220241, 2, "RESOURCE:background.png");

    if (!XMAP_map(startup.interface_file, "RESOURCE:interface.png"))
        fatal_interface_image();
    TEX_image_info info;
    info.format = GL_RGBA;
    int hint = 0;
    unsigned char* pixels = TMAN_scratch_pixels;
    if (!TEX_read_png("RESOURCE:interface.png", startup.interface_file, pixels, TMAN_SCRATCH_BYTES, 0, 0, 0,
                      0, info, hint))
        fatal_interface_image();
    TMAN_scratch_width = info.width;
    TMAN_scratch_height = info.height;
    // The swatches sit at fixed pixels of a 512 x 512 image; any other size is not the interface image.
    float rgb[14][3];
    if (!APP_interface_colours(pixels, info.width, info.height, rgb))
        fatal_interface_image();

    TMAN_load_bitmap(0, 1021, 0x200242, 2, "scratch_array-interface");

    for (int slot : {43, 44, 45, 46, 47, 49, 50, 51, 52, 54, 55, 56, 53, 48})
        OGL_set_colour_slot(slot, rgb[slot - 43][0], rgb[slot - 43][1], rgb[slot - 43][2]);
}

void check_language() {
    const std::vector<int> langs = LANG_available();
    int& current = LANG_current_language();
    if (current >= 0 && std::find(langs.begin(), langs.end(), current) != langs.end())
        return;
    if (langs.size() == 1) {
        current = langs[0];
        return;
    }
    current = 0;
    APP_alert(-1, "-", "-", "-", "-", 0, __FILE__, 1044);
}

void status_progress_report(const std::string& message) { APP_startup_status(message, nullptr); }

} // namespace

bool APP_interface_colours(const uint8_t* pixels, int width, int height, float rgb[14][3]) {
    if (!pixels || width != 512 || height != 512)
        return false;
    for (const swatch& s : swatches) {
        const uint8_t* p = pixels + (static_cast<size_t>(s.row) * 512 + s.column) * 4;
        for (int c = 0; c < 3; ++c)
            rgb[s.slot - 43][c] = static_cast<float>(p[c] / 255.0);
    }
    for (int c = 0; c < 3; ++c)
        rgb[48 - 43][c] = (rgb[44 - 43][c] + rgb[47 - 43][c]) * 0.5f;
    return true;
}

void hl_init(int, char** argv) {
    OPT_parse(argv ? argv[0] : "");
    APP_set_window_thread();
    APP_install_exit_hooks();
    APP_install_clock_hooks();
    APP_install_thread_gl_hooks();

    APP_get_exe_path(FILE_sim_root, 2);
    FILE_sim_root.clear();
    const bool crash_report = OPT_is_crash_report();
    if (!crash_report) {
        LOG_init();
        MEM_reserve_init();
    }
    XMAP_set_granularity(WIN_page_size());

    auto default_log_path = [] {
        std::string path;
        FILE_get_special_folder(2, path);
        return path + "Aerivon Installer Log.txt";
    };
    const bool log_path_given = OPT_has("--log_path");
    const std::string log_path = log_path_given ? OPT_get("--log_path") : default_log_path();
    if (log_path_given) {
        std::printf("Log path changed to: %s\n", log_path.c_str());
        std::fflush(stdout);
    }
    if (!crash_report) {
        FILE_open_ofstream_no_links(LOG_stream, log_path, std::ios_base::out);
        if (!LOG_stream.is_open() && log_path_given) {
            // A log path that cannot be written (a folder that does not exist) keeps the default log.
            const int error = errno;
            const std::string fallback = default_log_path();
            std::fprintf(stderr, "Could not open the log file %s (%s); the log goes to %s\n",
                         log_path.c_str(), std::strerror(error), fallback.c_str());
            FILE_open_ofstream_no_links(LOG_stream, fallback, std::ios_base::out);
        }
        LOG_stream << std::fixed;
    }
    write_log_header();

    THREAD_init();

    screen_state.window_width = 800;
    screen_state.window_height = 600;
    OGL_render_options.tex_res = 5;
    LANG_current_language() = -1;
    LANG_current_language() = LANG_choose();

    WIN_register_classes();
    WIN_set_multisample(0);
    hand_callbacks_to_platform();
    WIN_set_input_callbacks_maker(APP_input_callbacks_init);

    APP_set_display_mode(1);
    if (!WIN_create_window(0))
        fatal_start_up(
            "I could not set up the graphics for Aerivon! I hope your monitor is at 1024x768 or higher! It "
            "must be!",
            "You do not meet the system requirements or you do not have OpenGL drivers or you entered a bad "
            "resolution in Aerivon!",
            "You need at least 256 meg of RAM, 16 meg of VRAM, and OpenGl drivers for your 3-D accelerator "
            "card!",
            "If you reset the resolution, you can try launching Aerivon again, since I am resetting Aerivon "
            "to default resolution now.",
            900);
    // The second-monitor preference: this program keeps none, so 0, and the mode is 1 (one window).
    WIN_second_monitor_mode(1);
    APP_clock.double_click_time = WIN_double_click_time(WIN_table_window(0));

    OGL_setup_ui_view(0);
    OGL_capabilities.OGL_probe();
    OGL_default_render_options();
    TMAN_make_placeholder();
    if (crash_report)
        OGL_capabilities.OGL_disable_threaded();

    THREAD_start_workers();
    seed_random();
    TMAN_progress_hook = status_progress_report;
    load_interface_images();

    MENU_init(1);
    APP_set_screen(-1);
    OGL_setup_ui_view(0);
    APP_graphics_up = 1;

    check_language();

    if (!PCSB_startup())
        APP_alert(0, "I could not initialize network services.",
                  "You can still fly, but you will not be able to use multiplayer or other network features.",
                  "", "", 1, __FILE__, 1052);

    APP_startup_status("Will init plugins.", nullptr);
    DREF_registry_ready();
    CMND_actions_ready();
    OPT_apply_drefs();
    KEY_bindings_load(0);
    LANG_load_translations();

    APP_startup_status("Starting application.", nullptr);
    XMAP_close(startup.interface_file);
}

void APP_startup_status(const std::string&, const float* fraction) {
    float f;
    if (fraction) {
        f = *fraction;
    } else {
        f = static_cast<float>(startup.status_counter) / 100.0f;
        ++startup.status_counter;
    }
    if (!APP_screen_was_set())
        return;
    OGL_clear_view();
    const screen_state_record& s = screen_state;
    const float ox = s.screen_id == -1 ? 0.0f : -s.origin_x;
    const float oy = s.screen_id == -1 ? 0.0f : -s.origin_y;
    BTN_frame2(18, ox + 10, oy + 31, 560, 200, "", 1.0f);
    OGL_draw_string(61, ox + 22, oy + 210, web_address, 440, 0, 0, 1.0f);
    f = std::clamp(f, 0.02f, 1.0f);
    const float x0 = ox + 8, x1 = ox + 1016;
    const float xf = x0 + f * (x1 - x0);
    BTN_frame1(5, (x0 + x1) / 2, oy + 15, x1 - x0, 61);
    BTN_frame1(6, (x0 + xf) / 2, oy + 15, xf - x0, 61);
    OGL_swap_buffers();
}
