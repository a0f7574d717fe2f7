#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/engine_fixture.h"
#include "support/test_classes.h"
#include "scene_dump.h"

namespace klx {
namespace {

using test::TestController;
using test::TestHolder;
using SceneDumpTest = test::EngineTest;

std::string DumpToString(Object* root) {
  char* text = nullptr;
  size_t size = 0;
  std::FILE* out = open_memstream(&text, &size);
  SceneDumper(out).Dump(root);
  std::fclose(out);
  std::string result(text, size);
  free(text);
  return result;
}

TEST_F(SceneDumpTest, PrintsTheTreeWithFieldsAndMarksSharedObjects) {
  SceneDumper::Register(TestHolder::TYPE, [](Object* object, SceneDumper& dumper) {
    auto* holder = static_cast<TestHolder*>(object);
    dumper.Link("link", holder->link.Get());
    dumper.Field("value", "%d", holder->value);
  });
  Ref<TestHolder> root(new TestHolder(String(KLX_TEXT("Корень"))));
  Ref<TestHolder> shared(new TestHolder(String("shared")));
  auto* controller = new TestController(String("fade"));
  controller->SetActive(false);
  root->AttachController(controller);
  root->link = shared;
  shared->AttachController(controller);
  shared->value = 7;

  const std::string expected =
      "root: TEST.Holder \"Корень\" ID[" + std::to_string(root->GetID()) + "]\n"
      "  controller: TEST.Controller \"fade\" ID[" + std::to_string(controller->GetID()) + "] shared\n"
      "    active = false\n"
      "  link: TEST.Holder \"shared\" ID[" + std::to_string(shared->GetID()) + "]\n"
      "    controller: TEST.Controller \"fade\" ID[" + std::to_string(controller->GetID()) +
      "] shared (see above)\n"
      "    link: null\n"
      "    value = 7\n"
      "  value = 0\n";
  EXPECT_EQ(DumpToString(root.Get()), expected);
}

}  // namespace
}  // namespace klx
