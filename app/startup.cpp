#include <cstring>

#include "analysis/detect.hpp"
#include "analysis/note_table.hpp"
#include "app/data_paths.hpp"
#include "app/shell.hpp"
#include "app/shown_picture.hpp"
#include "core/tuner_state.hpp"
#include "audio/recording.hpp"
#include "view/draw.hpp"
#include "view/font.hpp"

namespace {
PictureStorage pictureStorage;
}

Framebuffer framebuffer;
BitmapFont font;
std::unique_ptr<KeyboardDevice> keyboard;
NoteDetection noteDetection;

void createFramebuffer() { framebuffer = pictureOn(pictureStorage); }

StartResult startUp(TunerState& tuner, Host& host, std::string& reason, Notices& notices) {
  createFramebuffer();
  if (!host.openWindow(reason)) return StartResult::NoWindow;
  tuner.shell.quitting = false;
  clearScreen(framebuffer, kStartupColour);
  host.present(framebuffer);
  forgetShownPicture();

  const std::string fontPath = findFontPath();
  std::string problem;
  if (!loadFont(font, fontPath.c_str(), problem))
    notices.push_back("font " + fontPath + ": " + problem + "; using the built-in glyphs");
  keyboard = std::make_unique<KeyboardDevice>(host.keySource());

  std::memset(tuner.capture.transform, 0, 2 * tuner.blockSize * sizeof(double));
  std::memset(tuner.capture.block, 0, 2 * tuner.blockSize * sizeof(double));
  buildNoteTable(tuner.notes);
  resetNoteDetection(tuner, noteDetection);
  if (!allocateRecording(tuner.history)) notices.push_back("no memory for the recording; playback is off");
  host.startAudio();  // without a stream the program runs on silent, as a viewer of nothing
  return StartResult::Running;
}

void shutDown(TunerState& tuner, Host& host) {
  if (tuner.shell.quitting) return;
  tuner.shell.quitting = true;
  showOwedPicture(tuner, host);  // while the font is still there
  cleanUp(tuner, host);
  host.destroyWindow();
}

void cleanUp(TunerState& tuner, Host& host) {
  if (keyboard) {
    keyboard->release();
    keyboard.reset();
  }
  freeFont(font);
  host.stopAudio();  // no callback runs after this, so the recording can go
  freeRecording(tuner.history);
}
