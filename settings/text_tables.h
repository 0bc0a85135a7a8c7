// Every text the program shows is looked up by a short lower-case ASCII key in one
// process-wide table, filled in English, Chinese or Japanese. Main thread only.
#pragma once
#include <map>
#include <string>
#include <string_view>
#include <vector>

constexpr int kLanguageEnglish = 0;
constexpr int kLanguageChinese = 1;
constexpr int kLanguageJapanese = 2;

class TextTable {
public:
    // Replaces the text of a known key; a new key goes after all others.
    void Assign(std::string_view key, std::u16string_view text);
    // An unknown key is added with an empty text. The reference survives later inserts;
    // a fill changes the text behind it.
    const std::u16string& Lookup(std::string_view key);
    // Keys in the order they first entered the table.
    const std::vector<std::string>& Keys() const { return order_; }
    size_t Size() const { return order_.size(); }

private:
    // Node-based, so references handed out by Lookup stay put as the table grows.
    std::map<std::string, std::u16string, std::less<>> texts_;
    std::vector<std::string> order_;
};

extern TextTable g_textTable;

const std::u16string& GetText(std::string_view key);

// Each assigns all of its language's texts without clearing the table.
void FillEnglishTexts(TextTable& table);
void FillChineseTexts(TextTable& table);
void FillJapaneseTexts(TextTable& table);
void FillEnglishTexts();
void FillChineseTexts();
void FillJapaneseTexts();

// Unknown language numbers fall back to English.
void SelectLanguageTexts(int language);

#ifdef _WIN32
// wchar_t is 16 bits on Windows, so the table's UTF-16 goes to Win32 calls as it is. The
// pointer is good until the next fill: copy the text into the control at once.
inline const wchar_t* GetWideText(std::string_view key) {
    static_assert(sizeof(wchar_t) == sizeof(char16_t), "Win32 wide strings are UTF-16");
    return reinterpret_cast<const wchar_t*>(GetText(key).c_str());
}
#endif
