#include <QFileDialog>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include "support/qt_invoke.h"
#include "ui/file_search_dlg.h"
#include "ui/folder_dialog.h"
#include "ui/text_file_dlg.h"
#include "ui/tray_icon.h"
#include "ui_fixture.h"

namespace {

// Acts on the next modal dialog of type T once it is open: one step per
// event-loop turn, as a reader would act.
template <typename T>
void WhenOpen(std::vector<std::function<void(T*)>> steps) {
    auto* timer = new QTimer;
    auto next = std::make_shared<size_t>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, steps, next] {
        auto* d = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!d || !d->isVisible())
            return;
        steps[(*next)++](d);
        if (*next == steps.size()) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(50);
}

template <typename T>
void WhenOpen(std::function<void(T*)> act) {
    WhenOpen<T>(std::vector<std::function<void(T*)>>{act});
}

// Types a path into a file dialog's name field, then accepts it.
void TypeAndAccept(const QString& path) {
    WhenOpen<QFileDialog>({[path](QFileDialog* d) {
                               if (auto* edit = d->findChild<QLineEdit*>("fileNameEdit"))
                                   edit->setText(path);
                           },
                           [](QFileDialog* d) { QMetaObject::invokeMethod(d, "accept"); }});
}

void ChooseFile(const QString& path) {
    TypeAndAccept(path);
}

using test::Invoke;

}  // namespace

TEST(TextFileDlg, WelcomeEnterAndEscape) {
    CTextFileDlg dlg(nullptr);
    dlg.SetText("");
    EXPECT_EQ(dlg.Text(), "Welcome!");
    EXPECT_EQ(dlg.windowTitle(), "保存文本文件");
    EXPECT_EQ(dlg.Encoding()->count(), 3);
    EXPECT_EQ(dlg.Encoding()->currentText(), "ANSI");
    dlg.SetText("abc");
    dlg.show();
    dlg.Edit()->setFocus();
    QTest::keyClick(dlg.Edit(), Qt::Key_Return);
    QTest::keyClick(dlg.Edit(), Qt::Key_Escape);
    EXPECT_EQ(dlg.Text(), "abc");  // no line break
    EXPECT_TRUE(dlg.isVisible());  // Escape does not close it
}

TEST(TextFileDlg, SavesThroughTheFileDialog) {
    test::TempDir dir;
    CTextFileDlg dlg(nullptr);
    dlg.SetText("Hi");
    dlg.Encoding()->setCurrentIndex(1);
    ChooseFile(QString::fromStdString(dir / "out"));  // the .txt suffix is added
    dlg.show();
    dlg.SaveButton()->click();
    EXPECT_EQ(test::ReadFile(dir / "out.txt"), std::string("\xFF\xFE\x48\x00\x69\x00", 6));
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
}

TEST(TextFileDlg, AFileThatCannotBeWrittenKeepsTheDialogOpen) {
    test::TempDir dir;
    test::MessageBoxRecorder boxes;
    CTextFileDlg dlg(nullptr);
    dlg.SetText("x");
    ChooseFile(QString::fromStdString(dir / "missing-folder/out.txt"));
    dlg.show();
    dlg.SaveButton()->click();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(dlg.isVisible());
}

TEST(TextFileDlg, CancellingTheFileDialogWritesNothingAndCloses) {
    CTextFileDlg dlg(nullptr);
    WhenOpen<QFileDialog>([](QFileDialog* d) { QMetaObject::invokeMethod(d, "reject"); });
    dlg.show();
    dlg.SaveButton()->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
}

TEST_F(WindowsTest, FileSearchListsAndRepliesToTheMovie) {
    StandardIssue();
    Start();
    test::TempDir dir;
    for (const char* n : {"a&b.txt", "b.txt", "c.txt", "d.log"})
        test::WriteFile(dir / n, "12345");
    WhenOpen<CFileSearchDlg>([&](CFileSearchDlg* d) {
        EXPECT_EQ(d->windowTitle(), "文件查找");
        EXPECT_TRUE(d->FolderEdit()->text().endsWith('/'));  // the home folder stands for C:\ here
        d->FolderEdit()->setText(QString::fromStdString(dir.path() + "/"));
        d->IncludeEdit()->setText("*.txt");
        QTest::keyClick(d->IncludeEdit(), Qt::Key_Return);  // Enter searches; the dialog stays
        EXPECT_TRUE(d->isVisible());
        EXPECT_EQ(d->List()->topLevelItemCount(), 3);
        EXPECT_EQ(d->List()->topLevelItem(0)->text(0), "a&b.txt");
        EXPECT_EQ(d->List()->topLevelItem(0)->text(1), "5");
        EXPECT_EQ(d->List()->topLevelItem(0)->text(2).size(), 19);  // %Y-%m-%d %H:%M:%S
        EXPECT_EQ(d->ResultLabel()->text(), "符合条件的文件数: 3");
        d->reject();
    });
    const QString reply = MainEngine()->RaiseFlashCall(Invoke("brivol_findfile"));
    const QString d = QString::fromStdString(dir.path());
    EXPECT_EQ(reply, "<array><property id=\"0\"><string>" + d +
                         "/a&b.txt</string></property>"
                         "<property id=\"1\"><string>" +
                         d +
                         "/b.txt</string></property>"
                         "<property id=\"2\"><string>" +
                         d + "/c.txt</string></property></array>");
    // Closed without a search: the call has no value.
    WhenOpen<CFileSearchDlg>([](CFileSearchDlg* dd) { dd->reject(); });
    EXPECT_EQ(MainEngine()->RaiseFlashCall(Invoke("brivol_findfile")), "");
}

// A pattern that does not compile is told once for the search, after it, owned
// by the dialog; the search goes on without it.
TEST_F(WindowsTest, ABadPatternInASearchOfManyFilesIsToldOnce) {
    test::TempDir dir;
    for (int i = 0; i < 500; ++i)
        test::WriteFile(dir / ("f" + std::to_string(i) + ".txt"), "");
    CFileSearchDlg search(nullptr);
    search.FolderEdit()->setText(QString::fromStdString(dir.path() + "/"));
    search.IncludeEdit()->setText("(*.log|*.txt");
    search.Search();
    EXPECT_EQ(search.List()->topLevelItemCount(), 500);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, u"Error on regex ^(.*?\\.log$:Paren expected");
    EXPECT_EQ(boxes.boxes[0].owner, static_cast<const QWidget*>(&search));
}

TEST_F(WindowsTest, FolderAndFileChoicesReachTheMovie) {
    StandardIssue();
    Start();
    test::TempDir dir;
    test::WriteFile(dir / "pick.txt", "x");
    WhenOpen<QFileDialog>([](QFileDialog* d) {
        EXPECT_EQ(d->windowTitle(), "请选择文件夹");
        QMetaObject::invokeMethod(d, "reject");
    });
    EXPECT_EQ(MainEngine()->RaiseFlashCall(Invoke("brivol_openfolder")), "");
    TypeAndAccept(QString::fromStdString(dir.path()));
    EXPECT_EQ(MainEngine()->RaiseFlashCall(Invoke("brivol_openfolder")),
              "<string>" + QString::fromStdString(dir.path()) + "</string>");
    WhenOpen<QFileDialog>([](QFileDialog* d) {
        EXPECT_EQ(d->nameFilters(), (QStringList{"Text files (*.txt)", "All (*.*)"}));
    });
    TypeAndAccept(QString::fromStdString(dir / "pick.txt"));
    EXPECT_EQ(MainEngine()->RaiseFlashCall(
                  Invoke("brivol_opendialog", "<string>Text files|*.txt|All|*.*||</string>")),
              "<string>" + QString::fromStdString(dir / "pick.txt") + "</string>");
}

TEST(FolderPickers, TrailingSeparatorsAndDriveRoots) {
    EXPECT_EQ(NativeStartFolder("c:\\"), QDir::homePath());
    EXPECT_EQ(NativeStartFolder("C:"), QDir::homePath());
    EXPECT_EQ(NativeStartFolder("D:\\Music"), "D:/Music");
    test::TempDir dir;
    TypeAndAccept(QString::fromStdString(dir.path()));
    QString result = "unchanged";
    ASSERT_TRUE(
        BrowseForFolderPath(nullptr, "t", result, QString::fromStdString(dir.path()), 1, 1));
    EXPECT_EQ(result, QString::fromStdString(dir.path()) + "/");
    WhenOpen<QFileDialog>([](QFileDialog* d) { QMetaObject::invokeMethod(d, "reject"); });
    result = "unchanged";
    EXPECT_FALSE(BrowseForFolderPath(nullptr, "t", result, "/", 1, 1));
    EXPECT_EQ(result, "unchanged");
}

// Every dialog drawn; with SAVE_SCREENSHOTS set the pictures go under the build
// folder, for scripts/update-screenshots.
TEST(Screenshots, DialogsDraw) {
    // Dark pixels (text) inside a child widget's area of the grabbed window.
    const auto inkIn = [](const QImage& image, const QWidget* child) {
        const QRect r = child->geometry();
        int ink = 0;
        for (int y = r.top(); y <= r.bottom(); ++y) {
            for (int x = r.left(); x <= r.right(); ++x)
                ink += qGray(image.pixel(x, y)) < 96;
        }
        return ink;
    };
    std::vector<QImage> shots;
    const auto save = [&](QWidget& w, const char* name) {
        w.show();
        QApplication::processEvents();
        const QPixmap shot = w.grab();
        EXPECT_EQ(shot.size(), w.size());
        shots.push_back(shot.toImage());
        if (qEnvironmentVariableIsSet("SAVE_SCREENSHOTS")) {
            QDir().mkpath(SCREENSHOT_DIR);
            shot.save(QString(SCREENSHOT_DIR) + "/" + name);
        }
    };
    CTextFileDlg text(nullptr);
    text.SetText("春天的来信\nA Letter in Spring\n窗外的柳枝又绿了。");
    save(text, "save-text-dialog.png");
    EXPECT_GT(inkIn(shots.back(), text.Edit()), 200) << "the letter is not drawn";
    test::TempDir dir;
    for (const char* n : {"报告.txt", "notes.txt", "photo.jpg"})
        test::WriteFile(dir / n, "some bytes");
    CFileSearchDlg search(nullptr);
    search.FolderEdit()->setText(QString::fromStdString(dir.path() + "/"));
    search.IncludeEdit()->setText("*.txt|*.jpg");
    search.Search();
    save(search, "file-search-dialog.png");
    EXPECT_EQ(search.List()->topLevelItemCount(), 3);
    EXPECT_GT(inkIn(shots.back(), search.List()), 200) << "the files found are not drawn";
    EXPECT_GT(inkIn(shots.back(), search.ResultLabel()), 20) << "the count is not drawn";
}

// While a command waits in a dialog, the tray still works: its show and hide
// items act on the main window only and leave the command waiting, and its exit
// item cancels the dialog, so the command ends as on Cancel, then the Player.
TEST_F(WindowsTest, TheTrayActsWhileACommandWaitsInADialog) {
    StandardIssue();
    Start();
    MainEngine()->RaiseFSCommand("start", "");
    bool stillOpenAfterHideAndShow = false;
    Qt::WindowModality modality = Qt::NonModal;
    WhenOpen<CTextFileDlg>({[&](CTextFileDlg* d) {
                                modality = d->windowModality();
                                dlg->Tray().OnCommand(TrayIcon::ID_TRAY_HIDE);
                            },
                            [&](CTextFileDlg* d) {
                                // Minimised: no tray host here draws the icon.
                                EXPECT_TRUE(dlg->isMinimized());
                                dlg->Tray().OnCommand(TrayIcon::ID_TRAY_SHOW);
                                stillOpenAfterHideAndShow =
                                    d->isVisible() && dlg->isVisible() && !dlg->isMinimized();
                            },
                            [&](CTextFileDlg*) { dlg->Tray().OnCommand(TrayIcon::ID_TRAY_EXIT); }});
    dlg->Tray().SetShown(true);
    MainEngine()->RaiseFlashCall(Invoke("brivol_savetextfile", "<string>hello</string>"));
    // Modal to the main window only: the tray icon's own window keeps its input.
    EXPECT_EQ(modality, Qt::WindowModal);
    EXPECT_TRUE(stillOpenAfterHideAndShow);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(dlg->Ended());
    EXPECT_FALSE(dlg->Tray().IsShown());
}
