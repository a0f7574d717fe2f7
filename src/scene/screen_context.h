#pragma once
// The draw context that puts the scene on screen (the current renderer). It
// registers itself here while it exists, so controllers that cut between
// cameras can read and set the camera on screen without naming the
// renderer. Null while nothing draws (tools, tests, a scene loaded before
// the window opens).

namespace klx {

class Camera;
class DrawContext;

DrawContext* GetScreenContext();
void SetScreenContext(DrawContext* context);

// The camera on screen, or null when nothing draws or none is set.
Camera* GetScreenCamera();
// Puts the camera on screen; nothing happens while nothing draws.
void SetScreenCamera(Camera* camera);

}  // namespace klx
