#pragma once
// The texts the Player shows its reader, each written once, for the desktop and
// the web page alike. They are the system's own and must come out exactly so.

#include <optional>
#include <string>
#include <string_view>

namespace texts {

// Opening an issue.
inline constexpr std::u16string_view kExeUnreadable = u"无法打开本EXE文件!";
inline constexpr std::u16string_view kFileListMissing = u"filelist.xml文件不存在！";
inline constexpr std::u16string_view kNestedUnopenable = u"打开qk工程失败！";
inline constexpr std::u16string_view kNestedInvalid = u"不是有效的QK文件或文件已经损坏!";
// Around the folder's name.
inline constexpr std::u16string_view kFolderUnwritableBefore = u"无法把本期杂志写入文件夹 ";
inline constexpr std::u16string_view kFolderUnwritableAfter = u"：磁盘已满或不可写入。";

// The movies' commands.
inline constexpr std::u16string_view kWrongArgumentCount = u"参数不对齐";
inline constexpr std::u16string_view kExtractSourceMissing = u"所提取的源文件不存在";
inline constexpr std::u16string_view kAlertCaption = u"信息";
inline constexpr std::u16string_view kPromptCaption = u"提示";
inline constexpr std::u16string_view kOverwriteAfterName = u"已存在,是否覆盖?";
inline constexpr std::u16string_view kSubscribeCaption = u"订阅提示";
inline constexpr std::u16string_view kNoSubscriber =
    u"您未安装 VELL娱乐空间或Vell杂志订阅器\r\n故不支持杂志订阅\r\n\r\n马上下载VELL娱乐空间或Vell杂志订阅器";

}  // namespace texts

// A message box as the reader is to see it: without a caption it shows the
// application's name.
struct ReaderMessage {
    std::u16string text;
    std::optional<std::u16string> caption;
    unsigned style = 0;
    bool overNoWindow = false;  // not owned by the window that asks
};
