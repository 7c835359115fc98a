#include "platform/window.hpp"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "platform/desktop_dpi.hpp"
#include "platform/quiet_stderr.hpp"
#include "platform/event_watch.hpp"
#include "platform/key_map.hpp"
#include "platform/screen_room.hpp"

namespace {

// Drivers SDL may pick by itself when no display is reachable: nothing would be seen.
constexpr const char* kInvisibleDrivers[] = {"offscreen", "dummy"};
constexpr int kBytesPerPixel = 4;
constexpr int kMaxRowRuns = (kPictureHeight + 1) / 2;  // changed and unchanged rows alternating

struct Screen {
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;  // none when pictures go to the window surface
  SDL_Texture* texture = nullptr;
  bool stale = true;                 // the window must be sent the picture again
  bool suitsTheScreen = false;       // opened at the scale that suits its screen, not one asked for
  int framesSent = 0;
};

Screen screen;

bool isInvisibleDriver(const char* driver) {
  for (const char* name : kInvisibleDrivers)
    if (driver != nullptr && strcasecmp(driver, name) == 0) return true;
  return false;
}

// SDL_VIDEODRIVER may list several drivers separated by commas.
bool driverRequested(const char* driver) {
  const char* requested = std::getenv("SDL_VIDEODRIVER");
  if (requested == nullptr || driver == nullptr) return false;
  const std::size_t length = std::strlen(driver);
  for (const char* name = requested; *name != '\0';) {
    const char* end = std::strchr(name, ',');
    const std::size_t nameLength = end ? static_cast<std::size_t>(end - name) : std::strlen(name);
    if (nameLength == length && strncasecmp(name, driver, length) == 0) return true;
    if (end == nullptr) break;
    name = end + 1;
  }
  return false;
}

bool fail(std::string& reason, const std::string& why) {
  reason = why;
  destroyWindow();
  return false;
}

void stopKeyEvents() {
  // Keys are read as a snapshot per frame step; their events would only crowd out the pointer's.
  SDL_StopTextInput();
  for (Uint32 type : {SDL_KEYDOWN, SDL_KEYUP, SDL_TEXTINPUT, SDL_TEXTEDITING, SDL_KEYMAPCHANGED})
    SDL_EventState(type, SDL_IGNORE);
}

bool windowChanged(const SDL_WindowEvent& event) {
  switch (event.event) {
    case SDL_WINDOWEVENT_EXPOSED:
    case SDL_WINDOWEVENT_SHOWN:
    case SDL_WINDOWEVENT_RESIZED:
    case SDL_WINDOWEVENT_SIZE_CHANGED:
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_MAXIMIZED: return true;
    default: return false;
  }
}

// Taken as SDL queues the event, not when the loop reaches it: a picture sent in
// between goes whole to the window (or the new surface) that lost the old one.
int noteLostPicture(void*, SDL_Event* event) {
  if (event->type == SDL_WINDOWEVENT && windowChanged(event->window)) screen.stale = true;
  return 0;
}

// A GL that rasterises on the CPU costs more per frame than SDL's own software
// renderer, which hands the picture to the window system directly.
bool rendersOnTheCpu(SDL_Renderer* renderer) {
  SDL_RendererInfo info;
  if (SDL_GetRendererInfo(renderer, &info) != 0 || (info.flags & SDL_RENDERER_SOFTWARE) != 0) return false;
  if (std::strncmp(info.name, "opengl", 6) != 0) return false;
  using GetString = const unsigned char* (*)(unsigned int);
  constexpr unsigned int kGlRenderer = 0x1F01;
  auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
  const char* name = getString ? reinterpret_cast<const char*>(getString(kGlRenderer)) : nullptr;
  if (name == nullptr) return false;
  for (const char* software : {"llvmpipe", "softpipe", "Software Rasterizer", "SWR"})
    if (std::strstr(name, software) != nullptr) return true;
  return false;
}

bool rendersInSoftware(SDL_Renderer* renderer) {
  SDL_RendererInfo info;
  return SDL_GetRendererInfo(renderer, &info) == 0 && (info.flags & SDL_RENDERER_SOFTWARE) != 0;
}

SDL_Renderer* createRenderer(SDL_Window* window) {
  SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, 0);
  if (renderer == nullptr || std::getenv("SDL_RENDER_DRIVER") != nullptr || !rendersOnTheCpu(renderer))
    return renderer;
  SDL_DestroyRenderer(renderer);
  return SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
}

bool anyRowMarked(const Framebuffer& picture) {
  return picture.changedRows == nullptr || std::find(picture.changedRows, picture.changedRows + picture.height, true) !=
                                               picture.changedRows + picture.height;
}

void setMarks(const Framebuffer& picture, bool changed) {
  if (picture.changedRows != nullptr) std::fill(picture.changedRows, picture.changedRows + picture.height, changed);
}

// What happened to a picture handed to the window.
enum class Sent { Nothing, Picture, Failed };

// Straight from the caller's rows, whole: the texture is the only copy the GPU needs.
Sent renderPicture(const Framebuffer& picture, bool everyRow) {
  if (!everyRow && !anyRowMarked(picture)) return Sent::Nothing;
  SDL_UpdateTexture(screen.texture, nullptr, picture.pixels, picture.pitch * kBytesPerPixel);
  SDL_RenderCopy(screen.renderer, screen.texture, nullptr, nullptr);
  SDL_RenderPresent(screen.renderer);
  return Sent::Picture;
}

// The whole picture stretched over the window surface, nearest-neighbour.
Sent blitPicture(const Framebuffer& picture, SDL_Surface* target) {
  SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(picture.pixels, picture.width, picture.height, 32,
                                                           picture.pitch * kBytesPerPixel, SDL_PIXELFORMAT_RGB888);
  const bool sameSize = source != nullptr && target->w == source->w && target->h == source->h;
  const bool sent = source != nullptr &&
                    (sameSize ? SDL_BlitSurface(source, nullptr, target, nullptr) : SDL_BlitScaled(source, nullptr, target, nullptr)) == 0 &&
                    SDL_UpdateWindowSurface(screen.window) == 0;
  SDL_FreeSurface(source);
  return sent ? Sent::Picture : Sent::Failed;
}

// How the rows to send are chosen: every row, each marked row, or each marked
// row that differs from the one shown.
enum class Rows { Every, Marked, MarkedAndDiffering };

// How many window pixels a picture pixel takes each way, when the window surface is a
// whole multiple of the picture each way; 0 each way otherwise.
struct Magnification {
  int x = 0;
  int y = 0;
};

Magnification magnificationOf(const Framebuffer& picture, const SDL_Surface* target) {
  if (target->w < picture.width || target->h < picture.height || target->w % picture.width != 0 ||
      target->h % picture.height != 0)
    return {};
  return {target->w / picture.width, target->h / picture.height};
}

std::uint32_t* surfaceRow(SDL_Surface* target, int y) {
  return reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(target->pixels) +
                                          static_cast<std::ptrdiff_t>(y) * target->pitch);
}

// Whether the window row shows `row` magnified `times` across.
bool showsRow(const std::uint32_t* shown, const std::uint32_t* row, int width, int times) {
  if (times == 1) return std::memcmp(shown, row, static_cast<std::size_t>(width) * kBytesPerPixel) == 0;
  for (int x = 0; x < width; ++x)
    if (shown[static_cast<std::ptrdiff_t>(x) * times] != row[x]) return false;
  return true;
}

template <int kTimes>
void magnifyRowBy(std::uint32_t* shown, const std::uint32_t* row, int width) {
  for (int x = 0; x < width; ++x)
    for (int copy = 0; copy < kTimes; ++copy) shown[x * kTimes + copy] = row[x];
}

// The common scales get a loop the compiler unrolls; any other takes the general one.
void magnifyRow(std::uint32_t* shown, const std::uint32_t* row, int width, int times) {
  switch (times) {
    case 1: std::memcpy(shown, row, static_cast<std::size_t>(width) * kBytesPerPixel); return;
    case 2: magnifyRowBy<2>(shown, row, width); return;
    case 3: magnifyRowBy<3>(shown, row, width); return;
    case 4: magnifyRowBy<4>(shown, row, width); return;
    default:
      for (int x = 0; x < width; ++x) std::fill_n(shown + static_cast<std::ptrdiff_t>(x) * times, times, row[x]);
  }
}

// Straight into a window surface of the picture's pixel layout and a whole multiple of its
// size, which keeps what was last sent: only the chosen rows are copied, each pixel a block
// of the multiple, and only they are handed to the window system.
Sent copyChangedRows(const Framebuffer& picture, SDL_Surface* target, Magnification times, Rows rows) {
  static SDL_Rect runs[kMaxRowRuns];
  const std::size_t shownBytes = static_cast<std::size_t>(target->w) * kBytesPerPixel;
  if (SDL_MUSTLOCK(target) && SDL_LockSurface(target) != 0) return Sent::Failed;
  int count = 0;
  for (int y = 0; y < picture.height; ++y) {
    if (rows != Rows::Every && !picture.changedRows[y]) continue;
    const std::uint32_t* row = picture.pixels + static_cast<std::ptrdiff_t>(y) * picture.pitch;
    const int top = y * times.y;
    std::uint32_t* shown = surfaceRow(target, top);
    if (rows == Rows::MarkedAndDiffering && showsRow(shown, row, picture.width, times.x)) continue;
    magnifyRow(shown, row, picture.width, times.x);
    for (int copy = 1; copy < times.y; ++copy) std::memcpy(surfaceRow(target, top + copy), shown, shownBytes);
    if (count > 0 && runs[count - 1].y + runs[count - 1].h == top)
      runs[count - 1].h += times.y;
    else
      runs[count++] = SDL_Rect{0, top, target->w, times.y};
  }
  if (SDL_MUSTLOCK(target)) SDL_UnlockSurface(target);
  if (count == 0) return Sent::Nothing;
  return SDL_UpdateWindowSurfaceRects(screen.window, runs, count) == 0 ? Sent::Picture : Sent::Failed;
}

// The surface is asked for each time: a resize replaces it.
Sent surfacePicture(const Framebuffer& picture, Rows rows) {
  SDL_Surface* target = SDL_GetWindowSurface(screen.window);
  if (target == nullptr) return Sent::Failed;
  const Magnification times = magnificationOf(picture, target);
  const bool ownLayout = times.x > 0 && target->format->format == SDL_PIXELFORMAT_RGB888 && picture.changedRows != nullptr;
  if (ownLayout) return copyChangedRows(picture, target, times, rows);
  return rows == Rows::Every || anyRowMarked(picture) ? blitPicture(picture, target) : Sent::Nothing;
}

void send(const Framebuffer& picture, Rows rows) {
  if (screen.window == nullptr || picture.pixels == nullptr) return;
  if (screen.stale) rows = Rows::Every;
  const Sent sent = screen.renderer != nullptr ? renderPicture(picture, rows == Rows::Every) : surfacePicture(picture, rows);
  if (sent != Sent::Nothing) windowSystemRoundTrip();
  if (sent == Sent::Failed) {
    screen.stale = true;  // some rows may have gone: the next picture goes whole
    return;
  }
  setMarks(picture, false);
  if (sent == Sent::Nothing) return;
  screen.stale = false;
  ++screen.framesSent;
}

bool buttonEvent(const SDL_MouseButtonEvent& button, bool down, WindowEvent& event) {
  if (button.button == SDL_BUTTON_LEFT)
    event.kind = down ? WindowEvent::LeftDown : WindowEvent::LeftUp;
  else if (button.button == SDL_BUTTON_RIGHT)
    event.kind = down ? WindowEvent::RightDown : WindowEvent::RightUp;
  else
    return false;
  return true;
}

// The next waiting event, left in the queue.
bool peekNext(SDL_Event& next) { return SDL_PeepEvents(&next, 1, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1; }

// After a move to a monitor of another scale, a window opened at the scale that suits its screen
// takes the one that suits the new monitor; one opened at a scale asked for keeps its size.
void suitNewMonitor() {
  if (!screen.suitsTheScreen) return;
  const int scale = chooseWindowScale(screenRoomOf(screen.window));
  SDL_SetWindowSize(screen.window, kPictureWidth * scale, kPictureHeight * scale);
}

// The next event in SDL's queue, which is refilled from the window system only
// when that may have sent something.
bool takeOne(SDL_Event& event) {
  if (windowSystemMayHaveEvents()) {
    SDL_PumpEvents();
    windowSystemPumped();
  }
  if (takeDesktopDpiChange()) suitNewMonitor();
  return SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1;
}

bool leavesWindow(const SDL_Event& event) {
  return event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_LEAVE;
}

// A fast mouse queues moves far quicker than the loop takes one event per turn,
// so the moves waiting right behind this one are folded into it, newest position
// kept. Presses, releases and the close request end the folding: each keeps its
// place in the order and the position it happened at. On leaving the window SDL
// queues one more move, clamped to the edge, and then the leave event; that move
// is not where the pointer was inside, so the one before it stands. False when
// nothing is left to report.
bool takeNewestMove(SDL_MouseMotionEvent& move) {
  SDL_MouseMotionEvent before{};
  bool haveBefore = false;
  SDL_Event next;
  while (peekNext(next) && next.type == SDL_MOUSEMOTION) {
    SDL_PeepEvents(&next, 1, SDL_GETEVENT, SDL_MOUSEMOTION, SDL_MOUSEMOTION);
    before = move;
    haveBefore = true;
    move = next.motion;
  }
  if (!peekNext(next) || !leavesWindow(next)) return true;
  move = before;
  return haveBefore;
}

}  // namespace

bool openWindow(const char* title, std::string& reason, int scale, Bell* bell) {
  // No capture: moves outside the window are not reported. A release outside is
  // still seen (X11 keeps the pointer with the window while a button is held), so
  // buttons never stick down.
  SDL_SetHint(SDL_HINT_MOUSE_AUTO_CAPTURE, "0");
  // Frames come at the loop's own pace, never held back by the display.
  SDL_SetHint(SDL_HINT_RENDER_VSYNC, "0");
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
  // The software renderer shows its picture through the window system, not through a GL texture.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  {
    QuietStderr quiet;  // the Wayland probe complains about XDG_RUNTIME_DIR itself
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return fail(reason, SDL_GetError());
  }
  const char* driver = SDL_GetCurrentVideoDriver();
  if (isInvisibleDriver(driver) && !driverRequested(driver))
    return fail(reason, std::string("no display reachable (SDL fell back to its ") + driver +
                            " driver; set SDL_VIDEODRIVER=" + driver + " to run without a display)");

  // Hidden until it has its size: the display it lands on decides the size that suits it.
  screen.window = SDL_CreateWindow(title, 0, 0, kPictureWidth, kPictureHeight, SDL_WINDOW_RESIZABLE | SDL_WINDOW_HIDDEN);
  if (screen.window == nullptr) return fail(reason, SDL_GetError());
  screen.suitsTheScreen = scale == kScaleToSuitTheScreen;
  if (screen.suitsTheScreen) scale = chooseWindowScale(screenRoomOf(screen.window));
  if (scale != 1) SDL_SetWindowSize(screen.window, kPictureWidth * scale, kPictureHeight * scale);
  SDL_ShowWindow(screen.window);
  screen.renderer = createRenderer(screen.window);
  if (screen.renderer == nullptr) return fail(reason, SDL_GetError());
  if (rendersInSoftware(screen.renderer)) {
    // SDL's software renderer only blits its texture into the window surface:
    // blitting the picture there directly saves the texture's copy of it.
    SDL_DestroyRenderer(screen.renderer);
    screen.renderer = nullptr;
    if (SDL_GetWindowSurface(screen.window) == nullptr) return fail(reason, SDL_GetError());
  } else {
    screen.texture = SDL_CreateTexture(screen.renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                                       kPictureWidth, kPictureHeight);
    if (screen.texture == nullptr) return fail(reason, SDL_GetError());
  }
  screen.stale = true;
  stopKeyEvents();
  SDL_AddEventWatch(noteLostPicture, nullptr);
  watchWindowSystem(screen.window, bell);
  watchDesktopDpi(screen.window);
  return true;
}

void presentFramebuffer(const Framebuffer& picture) {
  setMarks(picture, true);
  send(picture, Rows::MarkedAndDiffering);
}

void sendFramebuffer(const Framebuffer& picture) { send(picture, Rows::Marked); }

bool takeWindowEvent(WindowEvent& event) {
  SDL_Event sdl;
  if (screen.window == nullptr || !takeOne(sdl)) return false;
  switch (sdl.type) {
    case SDL_QUIT: event.kind = WindowEvent::CloseRequest; break;
    case SDL_WINDOWEVENT:
      if (sdl.window.event == SDL_WINDOWEVENT_CLOSE) {
        event.kind = WindowEvent::CloseRequest;
        break;
      }
      return false;  // a lost picture was noted as the event was queued
    case SDL_MOUSEMOTION:
      if (!takeNewestMove(sdl.motion)) return false;
      event.kind = WindowEvent::PointerMove;
      event.x = sdl.motion.x;
      event.y = sdl.motion.y;
      break;
    case SDL_MOUSEBUTTONDOWN:
      if (!buttonEvent(sdl.button, true, event)) return false;
      break;
    case SDL_MOUSEBUTTONUP:
      if (!buttonEvent(sdl.button, false, event)) return false;
      break;
    default: return false;
  }
  SDL_GetWindowSize(screen.window, &event.clientWidth, &event.clientHeight);
  return true;
}

void destroyWindow() {
  watchWindowSystem(nullptr, nullptr);
  watchDesktopDpi(nullptr);
  SDL_DelEventWatch(noteLostPicture, nullptr);
  if (screen.texture != nullptr) SDL_DestroyTexture(screen.texture);
  if (screen.renderer != nullptr) SDL_DestroyRenderer(screen.renderer);
  if (screen.window != nullptr) SDL_DestroyWindow(screen.window);
  screen = Screen{};
  SDL_Quit();
}

bool windowNeedsPicture() { return screen.window != nullptr && screen.stale; }

int framesSentToWindow() { return screen.framesSent; }

void SdlKeySource::acquire() {
  acquired_ = screen.window != nullptr && SDL_GetKeyboardFocus() == screen.window;
}

bool SdlKeySource::readState(KeyStates& keys) {
  if (screen.window == nullptr || SDL_GetKeyboardFocus() != screen.window) acquired_ = false;
  if (!acquired_) return false;
  int count = 0;
  const Uint8* state = SDL_GetKeyboardState(&count);
  mapKeyboardState(state, count, keys);
  return true;
}

void SdlKeySource::unacquire() { acquired_ = false; }
