#pragma once
// What the saver draws over the scene and before it: the loading picture
// with its four corner tiles, the frame-rate counter and the clock. All of
// it is one textured unit quad seen through a camera that maps the unit
// square onto the viewport, (0, 0) at the bottom left; text is drawn one
// character tile at a time.

#include <ctime>
#include <map>
#include <string>

#include "core/ref_counted.h"

namespace klx {

class Camera;
class Renderer;
class Texture;
class TextureEffect;
class Triangles;

// "%d" of the frame rate rounded up: 59.2 shows as "60".
std::string FrameRateText(double framesPerSecond);
// The clock at `time`: "H:MM:SS" with the hour unpadded; the 12-hour clock
// counts 0 to 12 and ends in " am " or " pm ".
std::string ClockText(const std::tm& time, bool hour24);

class Overlay {
 public:
  Overlay();
  ~Overlay();
  Overlay(const Overlay&) = delete;
  Overlay& operator=(const Overlay&) = delete;

  // Builds the quad, its effect and camera, and reads the loading and
  // character pictures through the file manager.
  void Create();
  // One frame of the loading picture with its corner tiles; the loading
  // pictures are let go afterwards (they are shown once). kFailed when
  // the frame cannot begin.
  int DrawLoadingScreen(Renderer& renderer);
  // The counter (top left) and the clock (bottom right) over the finished
  // scene, before the frame ends; the scene's camera is put back.
  void Draw(Renderer& renderer, bool showFrameRate, double framesPerSecond, bool showClock, bool hour24);
  // Draws `text` from (x, y) in unit screen coordinates with characters of
  // w × h; a space advances half a character and draws nothing.
  void DrawText(Renderer& renderer, const std::string& text, float x, float y, float w, float h);

  Triangles* GetQuad() const { return quad_.Get(); }
  TextureEffect* GetEffect() const { return effect_.Get(); }
  Camera* GetCamera() const { return camera_.Get(); }
  // Puts the overlay camera on with its matrices.
  void UseCamera(Renderer& renderer);

 private:
  // Draws the quad and empties the queues.
  void DrawQuad(Renderer& renderer);
  void ReleaseLoadingPictures(Renderer& renderer);

  Ref<Triangles> quad_;
  Ref<TextureEffect> effect_;
  Ref<Camera> camera_;
  Ref<Texture> background_;
  Ref<Texture> corners_[4];  // left bottom, right bottom, left top, right top
  std::map<char, Ref<Texture>> characters_;
};

}  // namespace klx
