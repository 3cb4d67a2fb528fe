#include "core/option_fields.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "core/settings_store.h"

namespace zorv::core {
namespace {

TEST(OptionFieldTable, NamesChoicesAndDefaultsAreConsistent) {
    std::set<std::string_view> names;
    for (const OptionFieldSpec& f : optionFields()) {
        SCOPED_TRACE(std::string(f.name));
        EXPECT_TRUE(names.insert(f.name).second) << "value name used twice";
        EXPECT_FALSE(f.page.empty());
        const bool isInt = std::holds_alternative<int Options::*>(f.member) ||
                           std::holds_alternative<std::array<int, 4> Options::*>(f.member);
        if (isInt) {
            EXPECT_LE(f.low, f.high);
            EXPECT_TRUE(inFieldRange(f, static_cast<int>(f.defaultValue))) << "default outside the range";
            if (f.rule == OutOfRange::kReadsAs) {
                EXPECT_EQ(readsAs(f, f.readsAs), f.readsAs);
            }
        }
        if (!f.choices.empty()) {
            EXPECT_TRUE(isInt);
            EXPECT_EQ(f.choices.size(), static_cast<std::size_t>(f.high - f.low + 1)) << "a name per value";
            EXPECT_FALSE(f.cliName.empty());
            for (int v = f.low; v <= f.high; ++v) EXPECT_EQ(choiceValue(f, choiceName(f, v)), v);
        }
    }
    EXPECT_FALSE(choiceValue(optionField(&Options::exportFrequency), "never"));
    EXPECT_EQ(choiceName(optionField(&Options::exportFrequency), 3), "");
}

// Every field of the table set away from its default survives a save and a load, and a record built
// from nothing but the stored values equals it: no field is missed by the store.
TEST(OptionFieldTable, EveryFieldIsStoredAndReadBack) {
    Options changed = Options::defaults();
    for (const OptionFieldSpec& f : optionFields()) {
        std::visit(
            [&](auto member) {
                auto& v = changed.*member;
                using T = std::remove_reference_t<decltype(v)>;
                if constexpr (std::is_same_v<T, bool>) v = !v;
                else if constexpr (std::is_same_v<T, std::uint32_t>) v ^= 0x80000001u;
                else if constexpr (std::is_same_v<T, std::string>) v += " x";
                else if constexpr (std::is_same_v<T, DecoderSelection>) v = {Guid::fromName(f.name), "changed"};
                else if constexpr (std::is_same_v<T, BurnPositionTable>) v[5] = BurnPosition{7, 8};
                else {
                    int& n = intOf(changed, f);
                    n = n == f.high ? f.low : n + 1;
                }
            },
            f.member);
    }
    for (const OptionFieldSpec& f : optionFields()) {
        Options one = changed;
        bool same = false;
        std::visit([&](auto member) { one.*member = Options::defaults().*member; }, f.member);
        same = one == changed;
        EXPECT_FALSE(same) << f.name << " was not changed";
    }
    const auto file = std::filesystem::temp_directory_path() / ("zorv-fields-" + std::to_string(::getpid()) + ".ini");
    SettingsStore store(file);
    store.saveOptionsAsDefaults(changed);
    EXPECT_EQ(store.loadStartupOptions(true), changed);
    std::filesystem::remove(file);
}

}  // namespace
}  // namespace zorv::core
