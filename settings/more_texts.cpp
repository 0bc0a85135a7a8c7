#include "settings/more_texts.h"

namespace {

struct MoreText {
    const char* key;
    const char16_t* english;
    const char16_t* chinese;
    const char16_t* japanese;
};

const MoreText kMoreTexts[] = {
    {"more save analysis", u"Save for analysis", u"保存用于分析", u"解析用に保存"},
    {"more copy measurements", u"Copy measurements", u"复制测量数据", u"測定値をコピー"},
    {"more scale bar", u"Scale bar", u"比例尺", u"スケールバー"},
    {"more measurements copied", u"Measurements copied to the clipboard.", u"测量数据已复制到剪贴板。",
     u"測定値をクリップボードにコピーしました。"},
    {"more copy failed", u"Could not copy the measurements.", u"无法复制测量数据。",
     u"測定値をコピーできませんでした。"},
    {"more camera settings", u"Camera settings…", u"相机设置…", u"カメラ設定…"},
    {"more camera settings title", u"Camera settings", u"相机设置", u"カメラ設定"},
    {"more color enable", u"Color:", u"彩色:", u"カラー:"},
    {"more backlight", u"Backlight:", u"背光补偿:", u"逆光補正:"},
    {"more focus", u"Focus:", u"对焦:", u"フォーカス:"},
    {"more zoom", u"Zoom:", u"变焦:", u"ズーム:"},
    {"more iris", u"Iris:", u"光圈:", u"絞り:"},
    {"more pan", u"Pan:", u"水平转动:", u"パン:"},
    {"more tilt", u"Tilt:", u"垂直转动:", u"チルト:"},
    {"more roll", u"Roll:", u"旋转:", u"ロール:"},
    {"more close", u"Close", u"关闭", u"閉じる"},
    {"more compressed video", u"Compressed video (MJPG)", u"压缩视频 (MJPG)", u"圧縮ビデオ (MJPG)"},
};

}  // namespace

void FillMoreTexts(TextTable& table, int language) {
    for (const MoreText& row : kMoreTexts) {
        const char16_t* text = language == kLanguageChinese    ? row.chinese
                               : language == kLanguageJapanese ? row.japanese
                                                               : row.english;
        table.Assign(row.key, text);
    }
}
