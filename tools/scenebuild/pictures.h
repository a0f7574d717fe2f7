#pragma once
// The program's own pictures: the loading screen "loader.jpg" with its
// four corner tiles, the clock's digit tiles, and the pictures of the
// preview, the settings dialog and the about box.

namespace klx::scenebuild {

class MediaFolder;

bool PaintProgramPictures(MediaFolder& custom);

}  // namespace klx::scenebuild
