#include "support/scene_round_trip.h"

#include <gtest/gtest.h>

#include <string>

#include "assets/scene_codec.h"
#include "core/result.h"
#include "support/image_test_support.h"
#include "vfs/virtual_file.h"

namespace klx::test {

Ref<Object> SaveAndLoadScene(Object* root, const char* fileName) {
  ScratchFolder folder;
  const std::string path = folder.File(fileName);
  {
    VirtualFile file{String(path.c_str())};
    EXPECT_EQ(SaveScene(&file, root), kOk) << fileName;
  }
  KeepAsSeed(path);
  VirtualFile file{String(path.c_str())};
  Ref<Object> loaded;
  EXPECT_EQ(LoadScene(&file, &loaded), kOk) << fileName;
  return loaded;
}

}  // namespace klx::test
