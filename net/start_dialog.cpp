// The "Start Multiplayer Game" dialog in a window of its own. It is modal: it
// runs its own event loop until it ends, and events meant for the main window
// are handed back to the queue afterwards. Sizes are in dialog units, turned
// into pixels by the usual rule (x * 6 / 4, y * 13 / 8).
#include "net/start_dialog.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <cstdio>
#include <future>
#include <string>
#include <vector>

#include "host/host_runtime.h"
#include "net/dialog_font.h"
#include "net/session_service.h"

namespace kr::net {

namespace {

constexpr int kTimerMs = 1000;        // the game list is refreshed this often
constexpr int kSearchWaitMs = 300;    // how long one refresh listens for answers
constexpr std::size_t kNameLimit = 260;
constexpr Uint32 kFace = 0xFFD4D0C8, kField = 0xFFFFFFFF, kText = 0xFF000000, kGrey = 0xFF808080,
                 kShadow = 0xFF404040, kSelected = 0xFF000080;

SDL_Rect units(int x, int y, int w, int h) { return SDL_Rect{x * 6 / 4, y * 13 / 8, w * 6 / 4, h * 13 / 8}; }

bool inside(const SDL_Rect& r, int x, int y) { return x >= r.x && y >= r.y && x < r.x + r.w && y < r.y + r.h; }

bool displayAvailable() {
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!driver || !std::strcmp(driver, "offscreen") || !std::strcmp(driver, "dummy")) return false;
  return SDL_getenv("DISPLAY") || SDL_getenv("WAYLAND_DISPLAY");
}

const char* const kConnections[] = {"<no connection>", "Local network (UDP)"};
constexpr int kConnectionCount = 2;

class StartDialog {
 public:
  explicit StartDialog(std::unique_ptr<SessionService>* session) : session_(session) {}
  ~StartDialog();
  int run();

 private:
  bool open();
  void reset();
  void choose(int connection);
  void startRefresh();
  void finishRefresh();
  void createGame();
  void joinGame(int index);
  void end(int result);
  void handle(const SDL_Event& event);
  void click(int x, int y, int clicks);
  void draw();
  void fill(const SDL_Rect& r, Uint32 argb);
  void frame(const SDL_Rect& r, Uint32 light, Uint32 dark);
  void text(int x, int y, const std::string& s, Uint32 argb, const SDL_Rect& clip);
  void button(const SDL_Rect& r, const char* label, bool enabled);
  void message(const char* caption, const char* text, Uint32 flags);

  std::unique_ptr<SessionService>* session_;
  SDL_Window* window_ = nullptr;
  SDL_Surface* canvas_ = nullptr;
  std::unique_ptr<DialogFont> font_;
  std::vector<SDL_Event> deferred_;

  const SDL_Rect connectionLabel_ = units(10, 11, 170, 8);
  const SDL_Rect connectionBox_ = units(10, 22, 170, 12);
  const SDL_Rect gamesLabel_ = units(10, 42, 170, 8);
  const SDL_Rect gamesList_ = units(10, 53, 170, 82);
  const SDL_Rect nameLabel_ = units(10, 144, 170, 8);
  const SDL_Rect nameEdit_ = units(10, 155, 170, 12);
  const SDL_Rect createButton_ = units(10, 178, 67, 14);
  const SDL_Rect cancelButton_ = units(135, 178, 45, 14);
  int rowHeight_ = 13;

  int connection_ = 0;
  bool dropped_ = false;  // the connection list is open
  bool listEnabled_ = false, nameEnabled_ = false, createEnabled_ = false;
  std::string name_;
  std::vector<FoundGame> games_;
  std::vector<std::string> rows_;
  int selected_ = -1;
  bool timerRunning_ = false;
  std::uint32_t nextTick_ = 0;
  bool searching_ = false;
  std::future<std::pair<bool, std::vector<FoundGame>>> search_;
  int result_ = -1;
  bool textInputWasActive_ = true;
};

StartDialog::~StartDialog() {
  if (searching_) search_.wait();
  if (canvas_) SDL_FreeSurface(canvas_);
  if (window_) SDL_DestroyWindow(window_);
  if (!textInputWasActive_) SDL_StopTextInput();
  for (SDL_Event& e : deferred_) SDL_PushEvent(&e);
}

bool StartDialog::open() {
  SDL_Rect whole = units(0, 0, 190, 199);
  window_ = SDL_CreateWindow("Start Multiplayer Game", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, whole.w,
                             whole.h, SDL_WINDOW_SHOWN);
  if (!window_) return false;
  canvas_ = SDL_CreateRGBSurfaceWithFormat(0, whole.w, whole.h, 32, SDL_PIXELFORMAT_ARGB8888);
  if (!canvas_) return false;
  font_ = makeDialogFont("MS Sans Serif", 8);
  rowHeight_ = std::max(font_->lineHeight() + 3, 13);
  SDL_RaiseWindow(window_);
  textInputWasActive_ = SDL_IsTextInputActive();
  SDL_StartTextInput();
  reset();
  return true;
}

void StartDialog::reset() {
  connection_ = 0;
  dropped_ = false;
  listEnabled_ = nameEnabled_ = createEnabled_ = false;
  timerRunning_ = false;
  name_.clear();
  games_.clear();
  rows_.clear();
  selected_ = -1;
}

void StartDialog::choose(int connection) {
  dropped_ = false;
  if (connection == connection_) return;
  if (connection == 0) {
    reset();
    return;
  }
  connection_ = connection;
  startRefresh();
  nameEnabled_ = createEnabled_ = true;
}

void StartDialog::startRefresh() {
  listEnabled_ = true;
  if (!timerRunning_) {
    timerRunning_ = true;
    nextTick_ = SDL_GetTicks() + kTimerMs;
  }
  if (searching_) return;
  searching_ = true;
  search_ = std::async(std::launch::async, [] {
    std::vector<FoundGame> found;
    bool ok = SessionService::search(kSearchWaitMs, &found);
    return std::make_pair(ok, std::move(found));
  });
}

void StartDialog::finishRefresh() {
  auto answer = search_.get();
  searching_ = false;
  if (connection_ == 0) return;  // reset while it ran
  if (!answer.first) {
    message("DirPlay Error", "Unable to enumerate sessions", SDL_MESSAGEBOX_WARNING);
    reset();
    return;
  }
  games_ = std::move(answer.second);
  rows_.clear();
  for (const FoundGame& g : games_) rows_.push_back(g.name);
  if (selected_ >= static_cast<int>(rows_.size())) selected_ = -1;
  listEnabled_ = !rows_.empty();
  if (rows_.empty()) rows_.push_back("<no games found>");
}

void StartDialog::createGame() {
  std::string name = name_.substr(0, kNameLimit);
  if (name.empty()) {
    message("DirectPlay Request", "Please enter a name for the new game", SDL_MESSAGEBOX_INFORMATION);
    return;
  }
  *session_ = SessionService::host(name);
  if (*session_) {
    end(2);
  } else {
    message("DirPlay Error", "Unable to create new game", SDL_MESSAGEBOX_WARNING);
  }
}

void StartDialog::joinGame(int index) {
  *session_ = SessionService::join(games_[static_cast<std::size_t>(index)], nullptr);
  if (*session_) {
    end(1);
  } else {
    message("DirPlay Error", "Unable to join game", SDL_MESSAGEBOX_WARNING);
  }
}

void StartDialog::end(int result) {
  timerRunning_ = false;
  result_ = result;
}

// Message boxes belong to the dialog; their text also goes to standard error.
void StartDialog::message(const char* caption, const char* text, Uint32 flags) {
  std::fprintf(stderr, "%s: %s\n", caption, text);
  SDL_ShowSimpleMessageBox(flags, caption, text, window_);
}

void StartDialog::click(int x, int y, int clicks) {
  if (dropped_) {
    SDL_Rect item = connectionBox_;
    for (int i = 0; i < kConnectionCount; ++i) {
      item.y = connectionBox_.y + connectionBox_.h + i * rowHeight_;
      item.h = rowHeight_;
      if (inside(item, x, y)) {
        choose(i);
        return;
      }
    }
    dropped_ = false;
    return;
  }
  if (inside(connectionBox_, x, y)) {
    dropped_ = true;
  } else if (inside(gamesList_, x, y) && listEnabled_) {
    int row = (y - gamesList_.y - 2) / rowHeight_;
    if (row < 0 || row >= static_cast<int>(games_.size())) return;
    selected_ = row;
    if (clicks >= 2) joinGame(row);
  } else if (inside(createButton_, x, y) && createEnabled_) {
    createGame();
  } else if (inside(cancelButton_, x, y)) {
    end(0);
  }
}

void StartDialog::handle(const SDL_Event& event) {
  Uint32 mine = SDL_GetWindowID(window_);
  switch (event.type) {
    case SDL_MOUSEBUTTONDOWN:
      if (event.button.windowID == mine && event.button.button == SDL_BUTTON_LEFT)
        click(event.button.x, event.button.y, event.button.clicks);
      return;
    case SDL_TEXTINPUT:
      if (event.text.windowID == mine && nameEnabled_) {
        name_ += event.text.text;
        if (name_.size() > kNameLimit) name_.resize(kNameLimit);
      }
      return;
    case SDL_KEYDOWN:
      if (event.key.windowID == mine && nameEnabled_ && event.key.keysym.sym == SDLK_BACKSPACE && !name_.empty()) {
        // Whole UTF-8 characters go at once.
        do {
          name_.pop_back();
        } while (!name_.empty() && (static_cast<unsigned char>(name_.back()) & 0xC0) == 0x80);
      }
      return;  // Enter and Escape do nothing here
    case SDL_WINDOWEVENT:
      if (event.window.windowID == mine) {
        if (event.window.event == SDL_WINDOWEVENT_CLOSE) end(0);
        return;
      }
      break;
    case SDL_QUIT:
      end(0);
      break;
    case SDL_MOUSEMOTION:
    case SDL_MOUSEBUTTONUP:
    case SDL_KEYUP:
    case SDL_TEXTEDITING:
      if (event.motion.windowID == mine) return;
      break;
    default:
      break;
  }
  deferred_.push_back(event);  // for the main window, after the dialog
}

int StartDialog::run() {
  if (!open()) return 0;
  while (result_ < 0) {
    draw();
    SDL_Event event;
    if (SDL_WaitEventTimeout(&event, 20)) {
      handle(event);
      while (result_ < 0 && SDL_PollEvent(&event)) handle(event);
    }
    if (searching_ && search_.wait_for(std::chrono::seconds(0)) == std::future_status::ready) finishRefresh();
    if (timerRunning_ && static_cast<std::int32_t>(SDL_GetTicks() - nextTick_) >= 0) {
      nextTick_ = SDL_GetTicks() + kTimerMs;
      startRefresh();
    }
  }
  return result_;
}

void StartDialog::fill(const SDL_Rect& r, Uint32 argb) { SDL_FillRect(canvas_, &r, argb); }

void StartDialog::frame(const SDL_Rect& r, Uint32 light, Uint32 dark) {
  fill(SDL_Rect{r.x, r.y, r.w, 1}, dark);
  fill(SDL_Rect{r.x, r.y, 1, r.h}, dark);
  fill(SDL_Rect{r.x, r.y + r.h - 1, r.w, 1}, light);
  fill(SDL_Rect{r.x + r.w - 1, r.y, 1, r.h}, light);
}

void StartDialog::text(int x, int y, const std::string& s, Uint32 argb, const SDL_Rect& clip) {
  font_->draw(canvas_, x, y, s, argb, clip);
}

void StartDialog::button(const SDL_Rect& r, const char* label, bool enabled) {
  fill(r, kFace);
  frame(r, kShadow, kField);
  int width = font_->textWidth(label);
  text(r.x + (r.w - width) / 2, r.y + (r.h - font_->lineHeight()) / 2, label, enabled ? kText : kGrey, r);
}

void StartDialog::draw() {
  SDL_Rect whole{0, 0, canvas_->w, canvas_->h};
  fill(whole, kFace);
  text(connectionLabel_.x, connectionLabel_.y, "Connection", kText, whole);
  text(gamesLabel_.x, gamesLabel_.y, "Games in progress", listEnabled_ ? kText : kGrey, whole);
  text(nameLabel_.x, nameLabel_.y, "Name for new game", nameEnabled_ ? kText : kGrey, whole);

  SDL_Rect list = gamesList_;
  fill(list, listEnabled_ ? kField : kFace);
  frame(list, kField, kShadow);
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    int y = list.y + 2 + static_cast<int>(i) * rowHeight_;
    SDL_Rect row{list.x + 2, y, list.w - 4, rowHeight_};
    if (row.y + row.h > list.y + list.h) break;
    bool chosen = static_cast<int>(i) == selected_ && listEnabled_;
    if (chosen) fill(row, kSelected);
    text(row.x + 2, y + 2, rows_[i], chosen ? kField : (listEnabled_ ? kText : kGrey), row);
  }

  fill(nameEdit_, nameEnabled_ ? kField : kFace);
  frame(nameEdit_, kField, kShadow);
  // The end of a long name stays in view.
  std::string shown = name_;
  std::size_t fits = static_cast<std::size_t>(std::max(1, (nameEdit_.w - 6) / std::max(1, font_->textWidth("W"))));
  if (shown.size() > fits) shown = shown.substr(shown.size() - fits);
  text(nameEdit_.x + 3, nameEdit_.y + (nameEdit_.h - font_->lineHeight()) / 2, shown, kText, nameEdit_);

  button(createButton_, "Create new game", createEnabled_);
  button(cancelButton_, "Cancel", true);

  fill(connectionBox_, kField);
  frame(connectionBox_, kField, kShadow);
  text(connectionBox_.x + 3, connectionBox_.y + (connectionBox_.h - font_->lineHeight()) / 2,
       kConnections[connection_], kText, connectionBox_);
  if (dropped_) {
    SDL_Rect drop{connectionBox_.x, connectionBox_.y + connectionBox_.h, connectionBox_.w,
                  kConnectionCount * rowHeight_};
    fill(drop, kField);
    frame(drop, kShadow, kShadow);
    for (int i = 0; i < kConnectionCount; ++i) {
      SDL_Rect item{drop.x + 1, drop.y + i * rowHeight_, drop.w - 2, rowHeight_};
      if (i == connection_) fill(item, kSelected);
      text(item.x + 2, item.y + 2, kConnections[i], i == connection_ ? kField : kText, item);
    }
  }

  SDL_Surface* screen = SDL_GetWindowSurface(window_);
  if (screen) {
    SDL_BlitSurface(canvas_, nullptr, screen, nullptr);
    SDL_UpdateWindowSurface(window_);
  }
}

}  // namespace

int runStartDialog(std::unique_ptr<SessionService>* session) {
  HostRuntime* host = currentHost();
  if (host) host->pumpMessages();
  // Nobody could answer a dialog without a display.
  if (!displayAvailable()) return 0;
  int result;
  {
    StartDialog dialog(session);
    result = dialog.run();
  }
  HostRuntime::postResumeRequest();
  if (host) host->pumpMessages();
  return result == 1 || result == 2 ? result : 0;
}

}  // namespace kr::net
