#include "settings/text_tables.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

using FillFunction = void (*)(TextTable&);

TextTable Filled(FillFunction fill) {
    TextTable table;
    fill(table);
    return table;
}

bool IsKeyCharacter(char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'; }

TEST(TextTables, EveryLanguageAssignsTheSameKeysInTheSameOrder) {
    const TextTable english = Filled(FillEnglishTexts);
    // A key assigned twice would leave fewer entries than assignments.
    ASSERT_EQ(english.Size(), 120u);
    EXPECT_EQ(english.Keys().front(), "device");
    EXPECT_EQ(english.Keys().back(), "tip fullscreen");
    const TextTable chinese = Filled(FillChineseTexts);
    const TextTable japanese = Filled(FillJapaneseTexts);
    EXPECT_EQ(chinese.Keys(), english.Keys());
    EXPECT_EQ(japanese.Keys(), english.Keys());

    for (const std::string& key : english.Keys()) {
        bool wordStart = true;
        for (char c : key) {
            EXPECT_TRUE(IsKeyCharacter(c) || (c == ' ' && !wordStart)) << '"' << key << '"';
            wordStart = c == ' ';
        }
        EXPECT_FALSE(wordStart) << '"' << key << '"';
    }
}

TEST(TextTables, TranslationsAreCompleteAndPunctuatedForTheirLanguage) {
    struct Translation {
        const char* language;
        FillFunction fill;
        std::set<std::string> sameAsEnglish;
    } translations[] = {
        {"Chinese", FillChineseTexts, {}},
        {"Japanese", FillJapaneseTexts, {"ok"}},
    };
    TextTable english = Filled(FillEnglishTexts);
    for (Translation& t : translations) {
        TextTable table = Filled(t.fill);
        for (const std::string& key : english.Keys()) {
            const std::u16string& source = english.Lookup(key);
            const std::u16string& text = table.Lookup(key);
            SCOPED_TRACE(std::string(t.language) + " \"" + key + "\"");
            ASSERT_FALSE(text.empty());
            EXPECT_EQ(text == source, t.sameAsEnglish.count(key) == 1);
            EXPECT_EQ(source.back() == u':', text.back() == u'：');
            EXPECT_EQ(source.front() == u' ', text.front() == u' ');
        }
    }
}

TEST(TextTables, WordingThatCallersAndUsersSeeIsExact) {
    TextTable english = Filled(FillEnglishTexts);
    EXPECT_EQ(english.Lookup("input tip"), u" Input text, drag to move...");
    EXPECT_EQ(english.Lookup("um"), u"microns(\u03BCm)");
    EXPECT_EQ(english.Lookup("frequence"), u"Frequency:");
    EXPECT_EQ(english.Lookup("del data"), u"Delete selected data ?");
    EXPECT_EQ(english.Lookup("howto 2"),
              u"2. Put a ruller under the microscope, adjust microscope to image clearer.");
    EXPECT_EQ(english.Lookup("limit -1"), u"No limit");

    // Translated unit names keep the symbol, with the Greek mu rather than the micro sign.
    const FillFunction translations[] = {FillChineseTexts, FillJapaneseTexts};
    for (FillFunction fill : translations) {
        TextTable table = Filled(fill);
        EXPECT_NE(table.Lookup("mm").find(u"(mm)"), std::u16string::npos);
        EXPECT_NE(table.Lookup("um").find(u"(\u03BCm)"), std::u16string::npos);
    }
}

// The file notices are patterns the program fills in: each needs its placeholder exactly once.
TEST(TextTables, FileNoticesKeepTheirPlaceholderInEveryLanguage) {
    const FillFunction fills[] = {FillEnglishTexts, FillChineseTexts, FillJapaneseTexts};
    const struct {
        const char* key;
        const char16_t* placeholder;
    } patterns[] = {{"file saved", u"%s"}, {"save failed", u"%s"}, {"frames dropped", u"%d"}};
    for (FillFunction fill : fills) {
        TextTable table = Filled(fill);
        for (const auto& p : patterns) {
            const std::u16string& text = table.Lookup(p.key);
            SCOPED_TRACE(p.key);
            const size_t at = text.find(p.placeholder);
            ASSERT_NE(at, std::u16string::npos);
            EXPECT_EQ(text.find(u'%', at + 1), std::u16string::npos);
            EXPECT_EQ(text.find(u'%'), at);
        }
    }
    EXPECT_EQ(Filled(FillEnglishTexts).Lookup("file saved"), u"File saved: %s");
}

TEST(TextTables, MissingKeyIsAddedEmptyAndSurvivesFills) {
    TextTable table;
    FillEnglishTexts(table);
    const std::u16string& device = table.Lookup("device");

    EXPECT_TRUE(table.Lookup("no such key").empty());
    EXPECT_EQ(table.Size(), 121u);
    EXPECT_TRUE(table.Lookup("no such key").empty());
    EXPECT_EQ(table.Size(), 121u);
    EXPECT_EQ(table.Keys().back(), "no such key");

    for (int i = 0; i < 200; ++i) table.Lookup("extra " + std::to_string(i));
    EXPECT_EQ(device, u"Device");

    FillJapaneseTexts(table);
    EXPECT_EQ(table.Size(), 321u);
    EXPECT_TRUE(table.Lookup("no such key").empty());
    EXPECT_EQ(device, u"デバイス");
}

TEST(TextTables, SelectedLanguageReplacesEveryTextOfTheProcessTable) {
    struct Step {
        int language;
        FillFunction expected;
    } steps[] = {
        {1, FillChineseTexts}, {0, FillEnglishTexts}, {2, FillJapaneseTexts},
        {7, FillEnglishTexts}, {1, FillChineseTexts}, {-1, FillEnglishTexts},
    };
    for (const Step& step : steps) {
        SelectLanguageTexts(step.language);
        TextTable expected = Filled(step.expected);
        for (const std::string& key : expected.Keys()) {
            EXPECT_EQ(GetText(key), expected.Lookup(key))
                << "language " << step.language << ", \"" << key << '"';
        }
    }
}

}  // namespace
