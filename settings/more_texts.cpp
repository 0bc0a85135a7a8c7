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
    {"more time lapse", u"Time-lapse…", u"延时摄影…", u"タイムラプス…"},
    {"more time lapse title", u"Time-lapse", u"延时摄影", u"タイムラプス"},
    {"more tl interval", u"Every", u"间隔", u"間隔"},
    {"more tl seconds", u"seconds", u"秒", u"秒"},
    {"more tl minutes", u"minutes", u"分钟", u"分"},
    {"more tl hours", u"hours", u"小时", u"時間"},
    {"more tl count", u"Pictures:", u"张数:", u"枚数:"},
    {"more tl duration", u"For:", u"时长:", u"期間:"},
    {"more tl unlimited", u"Until stopped", u"直到停止", u"停止するまで"},
    {"more tl kind", u"Picture:", u"图片:", u"画像:"},
    {"more tl photo", u"Photo (%s)", u"照片 (%s)", u"写真 (%s)"},
    {"more tl tiff", u"Analysis TIFF", u"分析用 TIFF", u"解析用 TIFF"},
    {"more tl video", u"Make a video at the end", u"结束时生成视频", u"終了時にビデオを作成"},
    {"more tl rate", u"Frame rate (fps):", u"帧率 (fps):", u"フレームレート (fps):"},
    {"more tl start", u"Start", u"开始", u"開始"},
    {"more tl stop", u"Stop", u"停止", u"停止"},
    {"more tl status", u"Taken: %s    Missed: %s", u"已拍摄: %s    错过: %s", u"撮影済み: %s    撮り逃し: %s"},
    {"more tl next", u"Next in: %s", u"距下一张: %s", u"次まで: %s"},
    {"more tl making video", u"Making the video…", u"正在生成视频…", u"ビデオを作成中…"},
    {"more tl ended", u"Time-lapse ended: %s", u"延时摄影已结束: %s", u"タイムラプスが終了しました: %s"},
    {"more tl disk full", u"Not enough disk room for the time-lapse pictures: %s",
     u"磁盘空间不足，无法保存延时摄影图片: %s", u"タイムラプスの画像を保存する空き容量が足りません: %s"},
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
