// OPT_options: the command-line option store and the options that end the program at once.
#include "base/OPT_options.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "base/CMND_registry.h"
#include "base/DREF_registry.h"
#include "platform/WIN_system.h"

// Written by OPT_parse on the main thread before any other thread starts; read-only afterwards.
std::map<std::string, std::string> OPT_store;

namespace {

// The text last handed to OPT_parse (same threads as OPT_store).
std::string command_text;

// One word of the command line: [begin, end) in the text, the key and the value.
struct word {
    size_t begin, end;
    std::string key, value;
};

bool blank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// Splits the text into words. A value opened by '"' right after '=' runs to the next '"' (quotes dropped);
// without a closing quote it runs to the end of the text and nothing after it is read. No escapes.
std::vector<word> split_words(const std::string& text) {
    std::vector<word> words;
    size_t p = 0;
    const size_t n = text.size();
    while (p < n) {
        while (p < n && blank(text[p]))
            ++p;
        if (p >= n)
            break;
        word w;
        w.begin = p;
        while (p < n && !blank(text[p]) && text[p] != '=')
            ++p;
        w.key.assign(text, w.begin, p - w.begin);
        bool ended = false;
        if (p < n && text[p] == '=') {
            ++p;
            if (p < n && text[p] == '"') {
                size_t v = ++p;
                while (p < n && text[p] != '"')
                    ++p;
                w.value.assign(text, v, p - v);
                if (p < n)
                    ++p; // the closing quote
                else
                    ended = true;
            } else {
                size_t v = p;
                while (p < n && !blank(text[p]))
                    ++p;
                w.value.assign(text, v, p - v);
            }
        }
        w.end = p;
        words.push_back(std::move(w));
        if (ended)
            break;
    }
    return words;
}

[[noreturn]] void print_and_exit(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    std::exit(0);
}

std::string cmnds_listing(const std::string& value) {
    std::string out;
    if (value == "all") {
        for (int i = 0; i < CMND_COUNT; ++i) {
            std::string path = CMND_path_at(i), description = CMND_description_at(i);
            int len = std::snprintf(nullptr, 0, "%-50s %s\n", path.c_str(), description.c_str());
            std::string line(static_cast<size_t>(len) + 1, '\0');
            std::snprintf(line.data(), line.size(), "%-50s %s\n", path.c_str(), description.c_str());
            line.pop_back();
            out += line;
        }
        return out;
    }
    std::vector<std::string> children;
    CMND_list_children(value, children);
    for (std::string& child : children)
        if (!child.empty() && child.back() == '/')
            child.pop_back();
    std::sort(children.begin(), children.end());
    for (const std::string& child : children)
        out += child + "\n";
    return out;
}

// Follows the usage line, "Usage: <program> [options...]".
const char usage_text[] = R"usage(

Options are flags given on the command line. Each is written --flag, or --flag=value when it
takes a value; a value that holds blanks is written in double quotes: --flag="some value".
Flags are read once at start-up; a flag given twice keeps its last value, and a flag that the
program does not use is accepted and ignored.

--help or -h
    Prints this text and exits without starting anything. When --version or --cmnds is given
    as well, that flag is answered instead.
--no_sound
    Starts without opening the sound device, for machines whose sound driver hangs or crashes
    at start-up. Everything else runs as usual, only silently.
--missing_strings
    Writes every interface text that has no translation in the current language to the file
    "Untranslated Strings.txt", so that translators can see what is left to do.
--lang=<lang code>
    The wizard's language: en, fr, de or ru. The codes it, es, pt and ja are taken but have no
    translation, so their texts stay English; any other code is ignored. Without a code that it
    takes, the desktop's language is used, or a chooser opens when that one is not in the list.
--allow_rosetta
    Allows the program to run under a translation layer that emulates a different processor,
    which is slow and refused by default.

OPTIONS OF THE INSTALLER
--os=<code>
    Installs the files of this operating system: ALL (every system), APL, IBM or LIN, in
    capitals. Without it, or with any other value, it installs those of the system it runs on.
    The OPTIONS dialog can change it while the installer runs.
--server=<host/path>
    Downloads from this server only: the servers of the list fetched from the maker's web site
    are replaced by this one, a host and the path that holds the release folders, as in
    --server=mirror.example.com/pub/. A value without '/' is ignored.
--add_server=<host/path>
    Adds this server to those of the server list (or to --server), up to 64 in all.
--server_clone=n
    Adds n more copies of the first server, so that n + 1 downloads from it run at once.
--install_name=<name>
    Installs or updates the release folder <name> on the servers instead of the one that the
    server list names (with or without beta versions); the pages' titles show it too.
--log_path=<file>
    Writes the log to <file> instead of "Aerivon Installer Log.txt" on the desktop.

OPTIONS TO AUTO-CONFIGURE AERIVON
--pref:<key>=<value>
    Overrides one preference for this run, as if the preferences file held <key> with <value>.
    The flag may be given more than once, once for each key; a value with blanks goes in double
    quotes, for example --pref:_proxy_host="my proxy". The value is kept: at exit the program
    saves its preferences, so the file then holds <key> with <value> for later runs too (not
    after --fps_test or --qa_script, which save nothing).
--dref:<ref>=<value>
    Sets the named run-time variable <ref> (a slash path such as perf/kill_cull) to <value> once
    start-up has registered every variable. Several variables may be set, one flag each.

OPTIONS TO DISABLE HARDWARE ACCELERATION
Some graphics drivers announce features that they do not carry out correctly, which shows as
missing or garbled images, black windows, stalls or crashes. Each of these flags turns one such
feature off, so that a slower but safer path is taken. Try them one at a time to find the one
that helps, and tell the maker of the driver about it.
--no_vbos
    Keeps vertex data in main memory instead of vertex buffer objects on the graphics card.
    Try it when objects are drawn torn, spiky or in the wrong place.
--no_fbos
    Does not draw into framebuffer objects; off-screen images are drawn in the window instead.
    Try it when reflections, shadows or the sky come out black.
--no_pbos
    Does not use pixel buffer objects to move image data to and from the graphics card.
--no_sprites
    Draws points as small textured squares instead of hardware point sprites. Try it when
    lights, smoke or stars show as large squares or not at all.
--no_pixel_counters
    Does not use occlusion queries to count the pixels that an object would cover. Lights that
    flicker, or glare that shows through walls, are the usual sign that this helps.
--no_aniso_filtering
    Turns off anisotropic texture filtering; textures seen at a slant become blurrier.
--no_hw_mipmap
    Builds the smaller copies of each texture in the program instead of on the graphics card.
    Try it when distant textures look striped, speckled or turn black.
--no_fshaders
    Does not use fragment (pixel) shaders; lighting and water are drawn the simple way.
--no_vshaders
    Does not use vertex shaders; vertices are transformed by the fixed pipeline.
--no_glsl
    Does not use shaders written in the OpenGL shading language at all; the picture is drawn
    as on older cards.
--limited_glsl
    Uses only the simplest shading-language shaders, for cards that run short of instructions
    or registers with the full set.
--unlimited_glsl
    Uses every shading-language shader, even on cards that are known to have trouble with them.
--no_threaded_ogl
    Keeps all OpenGL work on the main thread; no worker thread gets an OpenGL context of its own.
    Loading takes longer, but some drivers crash when two threads share their textures.

OPTIONS TO ENABLE INCOMPATIBLE HARDWARE ACCELERATION
Some features are switched off by default on drivers that are known to get them wrong. When a
newer driver has fixed them, these flags turn them back on. Expect trouble if the driver has not
been fixed: remove the flag again when images go wrong or the program stops.
--use_vbos
    Uses vertex buffer objects even where they are off by default.
--use_sprites
    Uses hardware point sprites even where they are off by default.
--use_fshaders
    Uses fragment shaders even where they are off by default.
--use_vshaders
    Uses vertex shaders even where they are off by default.
--use_glsl
    Uses shading-language shaders even where they are off by default. Combine it with
    --limited_glsl when the full set of shaders is too much for the card.
--use_fbos
    Uses framebuffer objects even where they are off by default.
--force_run
    Starts even when the graphics card lacks something that is required, instead of stopping
    with a message. Parts of the picture may then be missing, and the program may stop later.

FRAMERATE TEST
--fps_test=n
    Runs the frame-rate test number n without asking anything, writes the measured frame rates
    to the log and quits. Each test flies a fixed route over fixed scenery with fixed settings,
    so that results compare between machines. Preferences and key bindings are not saved.
--require_fps=n
    With --fps_test: the run counts as failed when the mean frame rate stays below n frames
    a second.
--qa_script=<file>
    Runs the automated test script in <file>. Nothing waits for the user: a message is only
    written to the log, one that would end the program ends it at once with exit code 1, and
    preferences and key bindings are not saved.
)usage";

} // namespace

void OPT_parse_only(const char* text) {
    OPT_store.clear();
    command_text = text ? text : "";
    for (word& w : split_words(command_text))
        if (!w.key.empty())
            OPT_store[w.key] = std::move(w.value);
}

void OPT_parse(const char* text) {
    OPT_parse_only(text);
    OPT_early_commands();
}

void OPT_early_commands() {
    if (OPT_has("--cmnds"))
        print_and_exit(cmnds_listing(OPT_get("--cmnds")));
    if (OPT_has("--version"))
        print_and_exit("Aerivon Demo Installer 3.22r1\n");
    if (OPT_has("-h") || OPT_has("--help"))
        print_and_exit(OPT_usage_text(WIN_program_name()));
}

bool OPT_has(const std::string& key) { return OPT_store.count(key) != 0; }

std::string OPT_get(const std::string& key) {
    auto it = OPT_store.find(key);
    return it == OPT_store.end() ? std::string() : it->second;
}

void OPT_apply_drefs() {
    static const std::string prefix = "--dref:";
    for (const auto& [key, value] : OPT_store)
        if (key.size() > prefix.size() && key.compare(0, prefix.size(), prefix) == 0)
            DREF_set_from_text(key.substr(prefix.size()));
}

bool OPT_is_test_run() { return OPT_has("--fps_test") || OPT_has("--qa_script"); }

bool OPT_is_crash_report() { return OPT_has("--report_crash") || OPT_has("--send_report"); }

std::string OPT_usage_text(const std::string& program) {
    return "Usage: " + (program.empty() ? std::string("Aerivon") : program) + " [options...]" + usage_text;
}

std::string OPT_plain_argument() {
    std::string out;
    size_t from = 0;
    auto take_piece = [&](size_t to) {
        size_t b = from, e = to;
        while (b < e && blank(command_text[b]))
            ++b;
        while (e > b && blank(command_text[e - 1]))
            --e;
        if (b < e) {
            if (!out.empty())
                out += ' ';
            out.append(command_text, b, e - b);
        }
    };
    for (const word& w : split_words(command_text)) {
        if (w.key.compare(0, 2, "--") != 0)
            continue;
        take_piece(w.begin);
        from = w.end;
    }
    take_piece(command_text.size());
    return out;
}
