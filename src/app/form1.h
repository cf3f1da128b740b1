// SPDX-License-Identifier: MIT
#pragma once

#include <QFileDialog>
#include <QSize>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "command_history.h"
#include "command_line.h"
#include "console_label.h"
#include "emblem_overlay.h"
#include "host.h"
#include "layout.h"
#include "session.h"

namespace narravox::app {

// The one window: a borderless black console covering the primary screen, with the title
// line, the text window, the ">" prompt and the command line. It shows what the engine's
// session holds and hands it the player's keys; every rule of the game lives in the session.
class TForm1 : public QWidget, public Host {
    Q_OBJECT

  public:
    // Runs the start-up sequence while the window is still hidden; show the window afterwards
    // unless startResult() says the data files were refused. `program_title` (code page 1251)
    // captions error boxes; `game_folder` is empty for the working directory; an empty
    // `screen_size` means the primary screen's.
    explicit TForm1(std::string program_title, std::string game_folder = {},
                    QSize screen_size = {});
    ~TForm1() override;

    ConsoleLabel* TextWindow;
    ConsoleLabel* Title;
    CommandLine* Edit;
    ConsoleLabel* Label1;
    QFileDialog* OpenDialog1;
    QFileDialog* SaveDialog1;

    StartResult startResult() const { return start_result_; }
    const WindowLayout& windowLayout() const { return layout_; }
    Session& session() { return session_; }

    // Shows the window as start-up left it: full screen, or at its design size.
    void showStarted();

    // Host
    Button ShowBox(const Box& box) override;
    std::optional<std::string> ChooseFile(FileChoice choice) override;
    void SetTitle(std::string_view text) override;
    void RepaintTextWindow() override;
    void WaitForNextSecond() override;

  signals:
    // A line of the text window completed since the last refresh, at its offset in the text;
    // screen readers are told the same through an accessibility event.
    void lineAnnounced(int position, const QString& line);

  protected:
    void FormCreate();
    void FormClose();
    // Keys in the command line, seen before the command line edits with them. Each returns
    // whether it used the key up.
    bool EditKeyDown(QKeyEvent* key);
    bool EditKeyPress(QKeyEvent* key);

    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void ApplyLayout();
    // Shows the engine's text window as it is now; announces the lines completed since.
    void RefreshTextWindow();
    // Puts everything printed so far on the screen at once, before a box or a dialog waits.
    void ShowPrintedText();
    void DrawEmblem();
    // Ends the handling of an event: held keys go back in the queue, a waiting close happens.
    void FinishEvent();

    QSize screen_size_;
    WindowLayout layout_;
    Session session_;
    StartResult start_result_ = StartResult::kCheckFailed;
    EmblemOverlay* emblem_;
    CommandHistory history_;
    std::vector<std::string> completed_lines_;
    // Keys that reached the command line while an event was being handled (nested event loops
    // run during paced text); they are delivered again once it is done, in order.
    std::vector<std::unique_ptr<QKeyEvent>> held_keys_;
    // An event is being handled by the session; a close request waits until it has returned.
    bool in_event_ = false;
    bool close_pending_ = false;
    // The window has just been shown: the start-up text is told to screen readers again.
    bool announce_start_ = false;
};

// The one main window, set while it exists.
extern TForm1* Form1;

}  // namespace narravox::app
