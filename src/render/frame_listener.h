#pragma once
// Something that runs once more after the whole scene has been updated,
// just before drawing: it registers with the renderer (AddFrameListener)
// and the renderer's next BeginFrame runs it once. Render-texture
// controllers are frame listeners.

namespace klx {

class RefCounted;

class FrameListener {
 public:
  virtual ~FrameListener() = default;
  // The work after the update.
  virtual void PostUpdate() = 0;
  // The counted object that carries the listener, held by the renderer
  // until the listener has run; null for one that is not counted.
  virtual RefCounted* GetListenerObject() = 0;
};

}  // namespace klx
