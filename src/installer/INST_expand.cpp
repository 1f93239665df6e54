// INST_expand: one package into place through a private folder (see the header).
#include "installer/INST_expand.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "base/FILE_compress.h"
#include "base/FILE_ops.h"
#include "base/LOG_log.h"

namespace {

constexpr int wrong_file = 20002;
// Other entries of a package named in the log before the summary line.
constexpr size_t named_others = 20;

bool ends_with(const std::string& s, const char* tail) {
    const std::string t = tail;
    return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

bool is_md5_hex(const std::string& s) {
    if (s.size() != 32)
        return false;
    for (char c : s)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')))
            return false;
    return true;
}

char lower(char c) { return c >= 'A' && c <= 'F' ? static_cast<char>(c - 'A' + 'a') : c; }

bool same_md5(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

// 0 when the file at `path` has the MD5 `want`; 20002 when it differs; the hashing error otherwise.
int check_md5(const std::string& path, const std::string& want, const std::string& archive) {
    std::string have;
    const int err = FILE_md5_hex(path, have);
    if (err != 0)
        return err;
    if (same_md5(have, want))
        return 0;
    LOG_stream << "EXPANDING: " << archive << " gave a file whose signature " << have << " is not the wanted "
               << want << ".\n";
    return wrong_file;
}

std::string absolute(std::string path) {
    FILE_make_absolute(path);
    return path;
}

const char* read_failure_text(FILE_read_failure why) {
    switch (why) {
    case FILE_read_failure::refused_name:
        return "refused entry name";
    case FILE_read_failure::entry_too_large:
        return "entry larger than its record allows";
    default:
        return "short read";
    }
}

// Names the entries of the private folder other than `name`: the first few, then how many more.
void log_other_entries(const std::string& stage, const std::string& name, const std::string& archive) {
    std::vector<std::string> names;
    std::vector<int> types;
    FILE_list_folder(stage, 0, names, types);
    size_t others = 0;
    for (const std::string& other : names) {
        if (other == name)
            continue;
        if (++others <= named_others)
            LOG_stream << "EXPANDING: " << archive << " also holds " << other
                       << ", which is not installed.\n";
    }
    if (others > named_others)
        LOG_stream << "EXPANDING: " << archive << " … and " << (others - named_others) << " more.\n";
}

// Expands the archive into a private folder beside the destination, checks the destination's file there
// and renames it into place.
int expand_archive(const std::string& archive, const std::string& destination, const std::string& sig_want,
                   uint64_t limit, bool seven_zip, std::string* why) {
    std::string target;
    FILE_parent_folder(target, destination);
    std::string stage = absolute(target) + INST_UNPACK_PREFIX + "XXXXXX";
    if (!mkdtemp(stage.data()))
        return errno ? errno : 20004;
    stage += '/';

    int err = seven_zip ? FILE_7z_to_folder(archive, stage, nullptr, false, limit)
                        : zip_to_file(archive, stage, limit);
    if (err == wrong_file && why)
        *why = read_failure_text(FILE_last_read_failure());
    std::string name;
    FILE_last_component(name, destination);
    if (err == 0) {
        const std::string staged = stage + name;
        if (!FILE_is_file(staged)) {
            LOG_stream << "EXPANDING: " << archive << " does not hold the file " << name << ".\n";
            err = wrong_file;
        } else if (is_md5_hex(sig_want)) {
            err = check_md5(staged, sig_want, archive);
        }
        if (err == wrong_file && why)
            *why = "signature mismatch";
        if (err == 0 && std::rename(staged.c_str(), absolute(destination).c_str()) != 0)
            err = errno ? errno : 20004;
    }
    log_other_entries(stage, name, archive);
    FILE_delete_tree(stage);
    return err;
}

} // namespace

uint64_t INST_entry_limit(float expanded_kb) {
    constexpr uint64_t mib = 1024ull * 1024ull;
    if (!(expanded_kb > 0.0f))
        return 4096ull * mib;
    const double bytes = static_cast<double>(expanded_kb) * 1024.0 * 2.0;
    if (bytes >= 1.8e19) // beyond what 64 bits hold
        return UINT64_MAX;
    return static_cast<uint64_t>(bytes) + mib;
}

int INST_expand_into_place(const std::string& archive, const std::string& destination,
                           const std::string& sig_want, float expanded_kb, std::string* why) {
    FILE_clear_read_only(destination);
    const bool seven_zip = archive.size() >= 4 && ends_with(archive, ".7z");
    const bool zip = !seven_zip && archive.size() >= 4 && ends_with(archive, ".zip");
    int result = 0;
    if (seven_zip || zip) {
        result =
            expand_archive(archive, destination, sig_want, INST_entry_limit(expanded_kb), seven_zip, why);
    } else {
        if (is_md5_hex(sig_want))
            result = check_md5(archive, sig_want, archive);
        if (result == wrong_file && why)
            *why = "signature mismatch";
        if (result == 0)
            result = FILE_copy(archive, destination);
    }
    FILE_delete(archive);
    return result;
}
