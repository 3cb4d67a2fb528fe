#include "core/settings_store.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <system_error>

namespace zorv::core {

namespace {

// A settings file larger than this is not one of ours; it reads as empty.
constexpr std::size_t kMaxFileSize = 1 << 20;

struct DecoderValueNames {
    std::string_view guid;
    std::string_view name;
};

DecoderValueNames decoderValueNames(DecoderRole role) {
    switch (role) {
    case DecoderRole::kMpeg2Video: return {"Mpeg2Guid", "Mpeg2Name"};
    case DecoderRole::kAvcVideo: return {"AvcVGuid", "AvcVName"};
    case DecoderRole::kAvcAudio: return {"AvcAGuid", "AvcAName"};
    }
    return {"Mpeg2Guid", "Mpeg2Name"};
}

std::string recentName(int i) { return "File" + std::to_string(i); }

bool readWholeFile(const std::filesystem::path& p, std::string& out) {
    const int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<std::uint64_t>(st.st_size) > kMaxFileSize) {
        ::close(fd);
        return false;
    }
    out.resize(static_cast<std::size_t>(st.st_size));
    std::size_t got = 0;
    while (got < out.size()) {
        const ssize_t n = ::read(fd, out.data() + got, out.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    out.resize(got);
    ::close(fd);
    return true;
}

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Writes the text to a temporary file beside the target and renames it over the target.
void replaceFile(const std::filesystem::path& target, std::string_view text) {
    std::string tmpl = target.string() + ".XXXXXX";
    const int fd = ::mkstemp(tmpl.data());
    if (fd < 0) return;
    const bool ok = writeAll(fd, text) && ::fsync(fd) == 0;
    ::close(fd);
    if (!ok || ::rename(tmpl.c_str(), target.c_str()) != 0) ::unlink(tmpl.c_str());
}

// Reads and writes option fields in the [Defaults] section.
class DefaultsReader final : public OptionFieldVisitor {
public:
    explicit DefaultsReader(const IniDocument& doc) : doc_(doc) {}
    void intField(std::string_view name, int& v) override {
        if (auto n = doc_.integer(kSectionDefaults, name)) v = *n;
    }
    void maskField(std::string_view name, std::uint32_t& v) override {
        if (auto n = doc_.integer(kSectionDefaults, name)) v = static_cast<std::uint32_t>(*n);
    }
    void flagField(std::string_view name, bool& v) override {
        if (auto n = doc_.integer(kSectionDefaults, name)) v = *n != 0;
    }
    void textField(std::string_view name, std::string& v) override {
        if (auto s = doc_.string(kSectionDefaults, name)) v = *s;
    }
    void selectionField(std::string_view name, DecoderSelection& v) override {
        const std::string base(name);
        const auto guidText = doc_.string(kSectionDefaults, base + "Guid");
        if (!guidText) return;
        if (auto g = Guid::parse(*guidText)) {
            v.id = *g;
            if (auto n = doc_.string(kSectionDefaults, base + "Name")) v.name = *n;
        }
    }
    void positionsField(std::string_view name, BurnPositionTable& v) override {
        if (auto s = doc_.string(kSectionDefaults, name))
            if (auto t = parseBurnPositions(*s)) v = *t;
    }

private:
    const IniDocument& doc_;
};

class DefaultsWriter final : public OptionFieldVisitor {
public:
    explicit DefaultsWriter(IniDocument& doc) : doc_(doc) {}
    void intField(std::string_view name, int& v) override { doc_.setInteger(kSectionDefaults, name, v); }
    void maskField(std::string_view name, std::uint32_t& v) override {
        doc_.setInteger(kSectionDefaults, name, static_cast<std::int32_t>(v));
    }
    void flagField(std::string_view name, bool& v) override { doc_.setInteger(kSectionDefaults, name, v ? 1 : 0); }
    void textField(std::string_view name, std::string& v) override { doc_.setString(kSectionDefaults, name, v); }
    void selectionField(std::string_view name, DecoderSelection& v) override {
        const std::string base(name);
        doc_.setString(kSectionDefaults, base + "Guid", v.id.toString());
        doc_.setString(kSectionDefaults, base + "Name", v.name);
    }
    void positionsField(std::string_view name, BurnPositionTable& v) override {
        doc_.setString(kSectionDefaults, name, formatBurnPositions(v));
    }

private:
    IniDocument& doc_;
};

DecoderSelection decoderFrom(const IniDocument& doc, DecoderRole role) {
    const auto names = decoderValueNames(role);
    const std::string text = doc.string(kSectionOptions, names.guid).value_or(std::string(kNullGuidText));
    const auto id = Guid::parse(text);
    if (!id) return DecoderSelection{Guid{}, std::string(kNotSelected)};
    return DecoderSelection{*id, doc.string(kSectionOptions, names.name).value_or(std::string(kNotSelected))};
}

}  // namespace

std::string formatBurnPositions(const BurnPositionTable& table) {
    std::string s;
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (i) s += ' ';
        s += std::to_string(table[i].x);
        s += ',';
        s += std::to_string(table[i].y);
    }
    return s;
}

std::optional<BurnPositionTable> parseBurnPositions(std::string_view text) {
    BurnPositionTable t{};
    const char* p = text.data();
    const char* end = text.data() + text.size();
    auto number = [&](std::uint8_t& out) {
        unsigned v = 0;
        auto [next, ec] = std::from_chars(p, end, v);
        if (ec != std::errc{} || v > 255) return false;
        out = static_cast<std::uint8_t>(v);
        p = next;
        return true;
    };
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (i) {
            if (p == end || *p != ' ') return std::nullopt;
            ++p;
        }
        if (!number(t[i].x)) return std::nullopt;
        if (p == end || *p != ',') return std::nullopt;
        ++p;
        if (!number(t[i].y)) return std::nullopt;
    }
    if (p != end) return std::nullopt;
    return t;
}

SettingsStore::SettingsStore() : path_(defaultPath()) {}

SettingsStore::SettingsStore(std::filesystem::path file) : path_(std::move(file)) {}

std::filesystem::path SettingsStore::defaultPath() {
    std::filesystem::path config;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') {
        config = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (home && home[0]) {
            config = std::filesystem::path(home) / ".config";
        } else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) {
            config = std::filesystem::path(pw->pw_dir) / ".config";
        } else {
            config = ".config";
        }
    }
    return config / "ZORV" / "ZORV Pro 4.ini";
}

IniDocument SettingsStore::load() const {
    std::string text;
    if (!readWholeFile(path_, text)) return IniDocument{};
    return IniDocument::parse(text);
}

void SettingsStore::update(const std::function<void(IniDocument&)>& change) {
    std::error_code ec;
    if (path_.has_parent_path()) std::filesystem::create_directories(path_.parent_path(), ec);
    const std::string lockPath = path_.string() + ".lock";
    const int lockFd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd >= 0) {
        while (::flock(lockFd, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    IniDocument doc = load();
    change(doc);
    replaceFile(path_, doc.serialize());
    if (lockFd >= 0) ::close(lockFd);  // closing releases the lock
}

std::int32_t SettingsStore::readInt(std::string_view section, std::string_view name, std::int32_t def) const {
    return load().integer(section, name).value_or(def);
}

void SettingsStore::writeInt(std::string_view section, std::string_view name, std::int32_t value) {
    update([&](IniDocument& d) { d.setInteger(section, name, value); });
}

std::string SettingsStore::readString(std::string_view section, std::string_view name, std::string_view def) const {
    if (auto s = load().string(section, name)) return *s;
    return std::string(def);
}

void SettingsStore::writeString(std::string_view section, std::string_view name, std::string_view value) {
    update([&](IniDocument& d) { d.setString(section, name, value); });
}

DecoderSelection SettingsStore::readDecoderSelection(DecoderRole role) const { return decoderFrom(load(), role); }

void SettingsStore::writeDecoderSelection(DecoderRole role, const DecoderSelection& sel) {
    const auto names = decoderValueNames(role);
    update([&](IniDocument& d) {
        d.setString(kSectionOptions, names.guid, sel.id.toString());
        d.setString(kSectionOptions, names.name, sel.name);
    });
}

namespace {

void writeRecentList(IniDocument& d, const std::vector<std::string>& files) {
    for (int i = 1; i <= kRecentFileCount; ++i) {
        const auto idx = static_cast<std::size_t>(i - 1);
        if (idx < files.size()) d.setString(kSectionRecentFiles, recentName(i), files[idx]);
        else d.remove(kSectionRecentFiles, recentName(i));
    }
}

std::vector<std::string> recentFrom(const IniDocument& d) {
    std::vector<std::string> files;
    for (int i = 1; i <= kRecentFileCount; ++i) {
        auto s = d.string(kSectionRecentFiles, recentName(i));
        if (s && !s->empty()) files.push_back(std::move(*s));
    }
    return files;
}

}  // namespace

std::vector<std::string> SettingsStore::recentFiles() const { return recentFrom(load()); }

void SettingsStore::addRecentFile(std::string_view path) {
    if (path.empty()) return;
    update([&](IniDocument& d) {
        std::vector<std::string> files = recentFrom(d);
        std::erase(files, std::string(path));
        files.insert(files.begin(), std::string(path));
        if (files.size() > kRecentFileCount) files.resize(kRecentFileCount);
        writeRecentList(d, files);
    });
}

void SettingsStore::removeRecentFile(std::string_view path) {
    update([&](IniDocument& d) {
        std::vector<std::string> files = recentFrom(d);
        std::erase(files, std::string(path));
        writeRecentList(d, files);
    });
}

bool SettingsStore::rememberMainWindowPosition() const { return readInt(kSectionOptions, "RMWPos", 0) > 0; }

StoredMainPlacement SettingsStore::readMainPlacement() const {
    const IniDocument d = load();
    StoredMainPlacement s;
    s.x = d.integer(kSectionOptions, "RMWx").value_or(-1);
    s.y = d.integer(kSectionOptions, "RMWy").value_or(-1);
    s.width = d.integer(kSectionOptions, "RMWw").value_or(-1);
    s.height = d.integer(kSectionOptions, "RMWh").value_or(-1);
    s.showState = d.integer(kSectionOptions, "RMWs").value_or(kShowNormal);
    return s;
}

void SettingsStore::saveMainWindowOnExit(bool remember, const MainPlacement& placement) {
    const StoredMainPlacement s = storedFromMainPlacement(placement);
    update([&](IniDocument& d) {
        if (remember) {
            d.setInteger(kSectionOptions, "RMWx", s.x);
            d.setInteger(kSectionOptions, "RMWy", s.y);
            d.setInteger(kSectionOptions, "RMWw", s.width);
            d.setInteger(kSectionOptions, "RMWh", s.height);
            d.setInteger(kSectionOptions, "RMWs", s.showState);
        }
        d.setInteger(kSectionOptions, "RMWPos", remember ? 1 : 0);
    });
}

void SettingsStore::writeShowDamagedBlocks(bool on) { writeInt(kSectionOptions, "DmgBlocks", on ? 1 : 0); }

StoredCapturePlacement SettingsStore::readCapturePlacement() const {
    const IniDocument d = load();
    return StoredCapturePlacement{d.integer(kSectionOptions, "RCWx").value_or(-1),
                                  d.integer(kSectionOptions, "RCWy").value_or(-1),
                                  d.integer(kSectionOptions, "RCWh").value_or(-1)};
}

void SettingsStore::writeCapturePlacement(const StoredCapturePlacement& s) {
    update([&](IniDocument& d) {
        d.setInteger(kSectionOptions, "RCWx", s.x);
        d.setInteger(kSectionOptions, "RCWy", s.y);
        d.setInteger(kSectionOptions, "RCWh", s.height);
    });
}

std::int32_t SettingsStore::progressWindowX() const { return readInt(kSectionSettings, "X", -1); }
std::int32_t SettingsStore::progressWindowY() const { return readInt(kSectionSettings, "Y", -1); }

void SettingsStore::writeProgressWindowPosition(std::int32_t x, std::int32_t y) {
    update([&](IniDocument& d) {
        d.setInteger(kSectionSettings, "X", x);
        d.setInteger(kSectionSettings, "Y", y);
    });
}

Options SettingsStore::loadStartupOptions(bool vmr9Available) const {
    const IniDocument doc = load();
    Options o = Options::defaults(vmr9Available);
    if (doc.hasSection(kSectionDefaults)) {
        DefaultsReader reader(doc);
        visitOptionFields(o, reader);
    }
    o.mpeg2Decoder = decoderFrom(doc, DecoderRole::kMpeg2Video);
    o.avcVideoDecoder = decoderFrom(doc, DecoderRole::kAvcVideo);
    o.avcAudioDecoder = decoderFrom(doc, DecoderRole::kAvcAudio);
    o.rememberMainWindowPosition = doc.integer(kSectionOptions, "RMWPos").value_or(0) > 0;
    o.showDamagedBlocks = doc.integer(kSectionOptions, "DmgBlocks").value_or(0) > 0;
    return o;
}

void SettingsStore::saveOptionsAsDefaults(const Options& options) {
    Options copy = options;
    update([&](IniDocument& d) {
        DefaultsWriter writer(d);
        visitOptionFields(copy, writer);
    });
}

bool SettingsStore::hasSavedDefaults() const { return load().hasSection(kSectionDefaults); }

void SettingsStore::clearSavedDefaults() {
    update([](IniDocument& d) { d.removeSection(kSectionDefaults); });
}

}  // namespace zorv::core
