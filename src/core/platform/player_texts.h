#pragma once
// The texts the Player shows its reader, each written once, for the desktop and
// the web page alike. They are the system's own and must come out exactly so.

#include <optional>
#include <string>
#include <string_view>

namespace texts {

// Opening an issue.
inline constexpr std::u16string_view kNoIssueInFile = u"这个文件里没有杂志，无法打开。";
inline constexpr std::u16string_view kIssueDamaged = u"本期杂志已损坏，无法打开。";
inline constexpr std::u16string_view kMainMovieDamaged = u"本期杂志的主影片已损坏，无法打开。";
inline constexpr std::u16string_view kMainMovieMissing =
    u"本期杂志缺少主影片 vellmain.swf，无法打开。";
inline constexpr std::u16string_view kNoFlashControl =
    u"创建flash播放器失败!\r\n请注册高于8.0版本的flash控件";
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
inline constexpr std::u16string_view kChooseFolderTitle = u"请选择文件夹";
inline constexpr std::u16string_view kNoSubscriber =
    u"您未安装 "
    u"VELL娱乐空间或Vell杂志订阅器\r\n故不支持杂志订阅\r\n\r\n马上下载VELL娱乐空间或Vell杂志订阅器";

// The windows and dialogs.
inline constexpr std::u16string_view kTrayTip = u"点击右键弹出菜单!";
inline constexpr std::u16string_view kHideMainWindow = u"隐藏主窗口";
inline constexpr std::u16string_view kShowMainWindow = u"显示主窗口";
inline constexpr std::u16string_view kExit = u"退出";
inline constexpr std::u16string_view kSaveTextTitle = u"保存文本文件";
inline constexpr std::u16string_view kCannotWriteFileBefore = u"无法写入文件 ";
inline constexpr std::u16string_view kCannotWriteFileAfter = u"：";
inline constexpr std::u16string_view kOpenIssueTitle = u"打开杂志";
inline constexpr std::u16string_view kIssueFilter = u"杂志 (*.exe *.EXE)";
inline constexpr std::u16string_view kAllFilesFilter = u"所有文件 (*)";
inline constexpr std::u16string_view kFileSearchTitle = u"文件查找";
inline constexpr std::u16string_view kFolderPathLabel = u"文件夹路径：";
inline constexpr std::u16string_view kBrowseButton = u"浏览...";
inline constexpr std::u16string_view kIncludeLabel = u"包含的文件或正则表达式（分隔符使用 '|'）";
inline constexpr std::u16string_view kExcludeLabel = u"排除的文件（分隔符使用 '|'）";
inline constexpr std::u16string_view kUseRegexCheck = u"使用正则表达式";
inline constexpr std::u16string_view kFindButton = u"查找";
inline constexpr std::u16string_view kCloseButton = u"关闭";
inline constexpr std::u16string_view kFileSearchHint =
    u"选择需要查找文件的文件夹，输入需要包含及排除的文件列表，也可以使用正则表达式。";
inline constexpr std::u16string_view kFilesFound = u"符合条件的文件数: ";

}  // namespace texts

// A message box as the reader is to see it: without a caption it shows the
// application's name.
struct ReaderMessage {
    std::u16string text;
    std::optional<std::u16string> caption;
    unsigned style = 0;
    bool overNoWindow = false;  // not owned by the window that asks
};
