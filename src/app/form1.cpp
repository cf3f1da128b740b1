// SPDX-License-Identifier: MIT
#include "form1.h"

#include <QAccessible>
#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>

#include "accessibility.h"
#include "console/emblem.h"
#include "cp1251.h"
#include "frontend_rules.h"
#include "russian.h"

namespace narravox::app {

TForm1* Form1 = nullptr;

namespace {

QString FromEngine(std::string_view cp1251) {
    return QString::fromStdString(Cp1251ToUtf8(cp1251));
}

QByteArray Bytes(std::string_view text) {
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

QSize PrimaryScreenSize() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().size() : QSize(0, 0);
}

QRect ToRect(const Bounds& bounds) {
    return {bounds.left, bounds.top, bounds.width, bounds.height};
}

// Boxes and dialogs can be moved and closed but not minimised, and stay above the full-screen
// game: a minimised modal box would leave a game that ignores every key with nothing to answer.
constexpr Qt::WindowFlags kModalWindowFlags = Qt::Dialog | Qt::CustomizeWindowHint |
                                              Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                                              Qt::WindowStaysOnTopHint;

void SetUpFileDialog(QFileDialog* dialog, QFileDialog::AcceptMode mode) {
    dialog->setWindowFlags(kModalWindowFlags);
    // Qt's own dialog, the same on every desktop, with its list in Russian.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setProxyModel(new RussianFileList(dialog));
    dialog->setAcceptMode(mode);
    // A name typed for loading need not exist: the load itself reports a missing file.
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setDefaultSuffix(QString::fromLatin1(kSavedGameExtension.substr(1)));
    // File names are case-sensitive here, and the default extension writes ".nvs": a filter
    // of "*.NVS" alone would hide the player's own saves, so both spellings are listed. "*.*"
    // would likewise hide files without a dot, so "all files" is "*".
    dialog->setNameFilters(
        {QStringLiteral("NVE Сохранённая игра (*.nvs *.NVS)"), QStringLiteral("Все файлы (*)")});
    dialog->setSizeGripEnabled(true);
}

}  // namespace

TForm1::TForm1(std::string program_title, std::string game_folder, QSize screen_size)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint),
      TextWindow(new ConsoleLabel(kSilver, kBlack, this)),
      Title(new ConsoleLabel(kBlack, kSilver, this)),
      Edit(new CommandLine(this)),
      Label1(new ConsoleLabel(kSilver, kBlack, this)),
      OpenDialog1(new QFileDialog(this)),
      SaveDialog1(new QFileDialog(this)),
      screen_size_(screen_size.isEmpty() ? PrimaryScreenSize() : screen_size),
      session_(*this, std::move(program_title), std::move(game_folder)),
      emblem_(new EmblemOverlay(this)) {
    Form1 = this;
    setWindowTitle(QStringLiteral("Narravox Engine III"));
    setObjectName(QStringLiteral("Form1"));
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setAutoFillBackground(true);

    TextWindow->setObjectName(QStringLiteral("TextWindow"));
    TextWindow->setAccessibleName(QStringLiteral("Текст игры"));
    Title->setObjectName(QStringLiteral("Title"));
    Edit->setObjectName(QStringLiteral("Edit"));
    Edit->setAccessibleName(QStringLiteral("Команда"));
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setText(QByteArrayLiteral(">"));
    Edit->installEventFilter(this);
    setFocusProxy(Edit);
    SetUpFileDialog(OpenDialog1, QFileDialog::AcceptOpen);
    SetUpFileDialog(SaveDialog1, QFileDialog::AcceptSave);

    session_.game().TextWindow.SetLineSink(
        [this](std::string_view line) { completed_lines_.emplace_back(line); });
    FormCreate();
}

TForm1::~TForm1() {
    session_.game().TextWindow.SetLineSink(nullptr);
    if (Form1 == this) {
        Form1 = nullptr;
    }
}

void TForm1::FormCreate() {
    const int w = screen_size_.width();
    const int h = screen_size_.height();
    layout_ = DesignLayout(w, h);
    ApplyLayout();
    const WindowLayout full_screen = FullScreenLayout(w, h);
    in_event_ = true;
    start_result_ = session_.Start(full_screen.VisibleLines, full_screen.LineWidth);
    in_event_ = false;
    if (start_result_ == StartResult::kStarted) {
        layout_ = full_screen;
        ApplyLayout();
    }
    RefreshTextWindow();
    FinishEvent();
}

void TForm1::showStarted() {
    if (start_result_ == StartResult::kStarted) {
        setWindowState(Qt::WindowFullScreen);
    }
    show();
    raise();
    activateWindow();
    Edit->setFocus();
    // A screen reader hears the start-up text once the command line has the focus.
    announce_start_ = start_result_ == StartResult::kStarted;
}

void TForm1::FormClose() {
    setWindowState(Qt::WindowNoState);
    resize(kClosedWidth, kClosedHeight);
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (in_event_) {
        // Closing in the middle of a turn would leave it half played on a dead window.
        close_pending_ = true;
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void TForm1::ApplyLayout() {
    setGeometry(ToRect(layout_.Window));
    Title->setGeometry(ToRect(layout_.Title));
    TextWindow->setGeometry(ToRect(layout_.TextWindow));
    Label1->setGeometry(ToRect(layout_.Label1));
    Edit->setGeometry(ToRect(layout_.Edit));
    Edit->setMaxLength(layout_.EditMaxLength);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Edit && event->type() == QEvent::FocusIn &&
        std::exchange(announce_start_, false)) {
        // The banner, the game's information and the first location were printed while the
        // window was hidden, where no screen reader heard them. The focus is announced after
        // this event, and screen readers speak new text only where the focus is: the text
        // follows once the event loop is back.
        QTimer::singleShot(0, this, [this] { AnnounceTextWindowAgain(TextWindow); });
    }
    if (watched == Edit && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (in_event_) {
            held_keys_.emplace_back(key->clone());
            return true;
        }
        return EditKeyDown(key) || EditKeyPress(key);
    }
    return QWidget::eventFilter(watched, event);
}

bool TForm1::EditKeyDown(QKeyEvent* key) {
    // The modifiers are not looked at: Shift+F1 or Ctrl+F3 act like F1 and F3.
    switch (key->key()) {
        case Qt::Key_F1:
            in_event_ = true;
            session_.PressF1();
            in_event_ = false;
            RefreshTextWindow();
            FinishEvent();
            return true;
        case Qt::Key_F3:
            Edit->setText(session_.PressF3());
            return true;
        // Up and Down always put the caret at the end of the line. At the oldest entry Up shows
        // that entry again, dropping any change made to it; while no entry is shown, Down
        // leaves the line as it is.
        case Qt::Key_Up:
            Edit->setText(history_.Older(Edit->text()).value_or(history_.Shown()));
            return true;
        case Qt::Key_Down:
            Edit->setText(history_.Newer().value_or(Edit->text()));
            return true;
        default:
            return false;
    }
}

bool TForm1::EditKeyPress(QKeyEvent* key) {
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) {
        return false;
    }
    const std::string typed = Edit->text();
    // The player sees the line empty while the command runs, however long that takes.
    Edit->clear();
    Edit->repaint();
    history_.Add(typed);
    in_event_ = true;
    const EnterResult result = session_.PressEnter(typed);
    in_event_ = false;
    RefreshTextWindow();
    if (result.DrawEmblem) {
        DrawEmblem();
    }
    if (result.CloseRequested) {
        close_pending_ = true;
    }
    FinishEvent();
    return true;
}

void TForm1::FinishEvent() {
    for (auto& key : held_keys_) {
        QCoreApplication::postEvent(Edit, key.release());
    }
    held_keys_.clear();
    if (std::exchange(close_pending_, false)) {
        close();
    }
}

void TForm1::RefreshTextWindow() {
    const narravox::TextWindow& model = session_.game().TextWindow;
    const QByteArray text = Bytes(model.Text());
    if (text == TextWindow->text()) {
        completed_lines_.clear();
        return;
    }
    TextWindow->setText(text);
    // Printed text repaints the text window, and the emblem drawn over it goes with that.
    emblem_->hide();

    // Announce each line completed since the last refresh that is still on the screen, with its
    // offset in the text window's text.
    const auto& lines = model.CompleteLines();
    const std::size_t shown = std::min(completed_lines_.size(), lines.size());
    const std::size_t first = lines.size() - shown;
    int position = 0;
    for (std::size_t i = 0; i < first; ++i) {
        position += static_cast<int>(lines[i].size()) + 1;
    }
    // Screen readers were told by the text window itself, which knows what left its top.
    for (std::size_t i = first; i < lines.size(); ++i) {
        const QString line = FromCp1251(Bytes(lines[i]));
        emit lineAnnounced(position, line);
        position += static_cast<int>(lines[i].size()) + 1;
    }
    completed_lines_.clear();
}

void TForm1::DrawEmblem() {
    emblem_->showEmblem(LayOutEmblem(screen_size_.width(), screen_size_.height()),
                        Edit->geometry());
    // Everything printed so far is on the screen before the emblem is laid over it.
    repaint();
}

Button TForm1::ShowBox(const Box& box) {
    QMessageBox::Icon icon = QMessageBox::Information;
    switch (box.icon) {
        case BoxIcon::kError:
            icon = QMessageBox::Critical;
            break;
        case BoxIcon::kWarning:
            icon = QMessageBox::Warning;
            break;
        case BoxIcon::kInformation:
            icon = QMessageBox::Information;
            break;
        case BoxIcon::kQuestion:
            icon = QMessageBox::Question;
            break;
    }
    const bool yes_no = box.buttons == BoxButtons::kYesNo;
    // What the game printed before asking (the echo of "выход", say) is on the screen behind
    // the box, which may wait a long time for its answer.
    ShowPrintedText();
    // No owner: the box stands on its own, also while the main window is still hidden, and
    // blocks every window of the program until it is answered.
    QMessageBox message(icon, FromEngine(box.caption), FromEngine(box.text),
                        yes_no ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok);
    message.setTextFormat(Qt::PlainText);
    message.setWindowModality(Qt::ApplicationModal);
    // After the modality, which gives the box a dialog's usual buttons again.
    message.setWindowFlags(kModalWindowFlags);
    message.setDefaultButton(yes_no ? QMessageBox::Yes : QMessageBox::Ok);
    message.show();
    message.raise();
    message.activateWindow();
    const int answer = message.exec();
    if (!yes_no) {
        return Button::kOk;
    }
    return answer == QMessageBox::Yes ? Button::kYes : Button::kNo;
}

std::optional<std::string> TForm1::ChooseFile(FileChoice choice) {
    QFileDialog* dialog = choice == FileChoice::kOpen ? OpenDialog1 : SaveDialog1;
    ShowPrintedText();
    // Every choice starts in the game's folder, where its saves are, wherever the player browsed
    // the last time.
    const std::string& game_folder = session_.game().GameFolder;
    dialog->setDirectory(game_folder.empty() ? QDir::currentPath()
                                             : QString::fromStdString(game_folder));
    dialog->selectFile(QString());
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return QFile::encodeName(dialog->selectedFiles().constFirst()).toStdString();
}

void TForm1::SetTitle(std::string_view text) {
    // The title line tells screen readers itself, and the window takes its name from it.
    Title->setText(Bytes(text));
}

void TForm1::ShowPrintedText() {
    RefreshTextWindow();
    if (isVisible()) {
        repaint();
    }
}

void TForm1::RepaintTextWindow() {
    RefreshTextWindow();
    TextWindow->repaint();
}

void TForm1::WaitForNextSecond() {
    using namespace std::chrono;
    const auto next = floor<seconds>(system_clock::now()) + seconds(1);
    const auto remaining = ceil<milliseconds>(next - system_clock::now());
    // The window goes on answering the system (exposure, focus) meanwhile; keys stay queued
    // and are acted on once the paced text is done.
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(static_cast<int>(std::max<milliseconds::rep>(remaining.count(), 0)));
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    // A timer may fire a little early; the seconds field must really have changed.
    std::this_thread::sleep_until(next);
}

}  // namespace narravox::app
