// zorv-gen broken: writes the corpus of damaged files used by the hardening tests and report.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "gen/broken_corpus.h"

using namespace zorv;

extern const char kBrokenUsage[] =
    "  zorv-gen broken DIR [--only avi,rawdv,hdv,avchd] [--list]\n"
    "      damaged files (truncations, sizes and index entries past the end, lost sync, ...) into DIR\n";

int runBroken(int argc, char** argv) {
    auto fail = [](const std::string& what) {
        std::fprintf(stderr, "zorv-gen: %s\n%s", what.c_str(), kBrokenUsage);
        return 2;
    };
    if (argc < 3) return fail("missing output folder");
    const std::string dir = argv[2];
    std::vector<std::string> only;
    bool list = false;
    for (int i = 3; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--list") {
            list = true;
        } else if (a == "--only" && i + 1 < argc) {
            std::string v = argv[++i];
            for (size_t p = 0; p <= v.size();) {
                const size_t q = v.find(',', p);
                only.push_back(v.substr(p, q == std::string::npos ? std::string::npos : q - p));
                if (q == std::string::npos) break;
                p = q + 1;
            }
        } else {
            return fail("unknown option " + a);
        }
    }
    if (list) {
        for (const auto& f : gen::brokenCorpus())
            std::printf("%s\t%s\t%s\n", f.name.c_str(), f.family.c_str(), f.damage.c_str());
        return 0;
    }
    const core::Status s = gen::writeBrokenCorpus(dir, only);
    if (s) return 0;
    std::fprintf(stderr, "zorv-gen: %s%s%s\n", s.message.c_str(), s.sysError ? ": " : "",
                 s.sysError ? std::strerror(s.sysError) : "");
    return 1;
}
