// Edits through the API are edits of the operator's training database: what the saved model
// holds, what comes back after a restart, and what two clients editing at once leave behind.
#include <set>

#include "interfaces/smartcore/SmartLabelCollection.h"
#include "interfaces/smartcore/SmartLabelToShapeAssignment.h"
#include "interfaces/smartcore/SmartTrainDataCollection.h"
#include "interfaces/smartcore/SmartTrainDataDatabase.h"
#include "tests/tools/serve/ServeTestHost.h"
#include "tools/smartseg/LabelMe.h"
#include "tools/smartseg/ModelFile.h"

namespace ServeTest {
namespace {

class Editing : public ::testing::Test {
 protected:
  void SetUp() override { WriteScenes(scratch_.Path(), 2); }

  fs::path ModelPath() const { return scratch_.Path() / "smartseg.model"; }

  // The label name of every assignment of every item of the saved model, item by item.
  std::vector<std::vector<std::string>> SavedAssignments() const {
    const auto model = Smartseg::LoadModel(ModelPath());
    std::vector<std::vector<std::string>> items;
    for (const auto& item : *model->SmartTrainDataDatabase()->TrainingData()) {
      std::vector<std::string> labels;
      for (const auto& assignment : *item->Assignments()) {
        labels.push_back(assignment->Label() ? assignment->Label()->Name() : "<none>");
      }
      items.push_back(labels);
    }
    return items;
  }

  Scratch scratch_;
};

TEST_F(Editing, ShapesBecomeAssignmentsOfOneItemPerImage) {
  RunningHost host(scratch_.Path());
  auto client = host.Client();
  AddLabels(*client, {"background", "stripes"});
  const Json scribble = {{"label", "stripes"},
                         {"type", "linestrip"},
                         {"points", {{80, 90}, {90, 100}, {100, 95}, {104, 110}}}};
  const Json ellipse = {
      {"label", "background"}, {"type", "ellipse"}, {"points", {{4, 4}, {30, 20}}}};
  AddShape(*client, "scene1.png", scribble);
  AddShape(*client, "scene1.png", ellipse);
  AddShape(*client, "scene2.png", Rectangle("background", 2, 2, 40, 30));
  const Answer saved = Send(*client, "POST", "/api/save");
  ASSERT_EQ(saved.status, 200) << saved.raw;
  EXPECT_EQ(saved.body["annotations"], Json::array({"scene1.json", "scene2.json"}));
  // The scribble is one line segment per pair of points.
  const std::vector<std::vector<std::string>> expected = {
      {"stripes", "stripes", "stripes", "background"}, {"background"}};
  EXPECT_EQ(SavedAssignments(), expected);

  // The LabelMe file beside the image describes the same shapes; the ellipse as a polygon.
  const auto annotation = Smartseg::ReadLabelMe(scratch_.Path() / "scene1.json");
  ASSERT_EQ(annotation.shapes.size(), 2u);
  EXPECT_EQ(annotation.shapes[0].type, "linestrip");
  EXPECT_EQ(annotation.shapes[0].points.size(), 4u);
  EXPECT_EQ(annotation.shapes[1].type, "polygon");
  EXPECT_EQ(annotation.imagePath.filename(), "scene1.png");
}

TEST_F(Editing, ReplacingAndRemovingShapesEditTheirOwnAssignmentsOnly) {
  RunningHost host(scratch_.Path());
  auto client = host.Client();
  AddLabels(*client, {"a", "b"});
  const Json strip = {{"label", "a"}, {"type", "linestrip"}, {"points", {{1, 1}, {5, 5}, {9, 1}}}};
  const long long first = AddShape(*client, "scene1.png", Rectangle("a", 1, 1, 9, 9));
  const long long second = AddShape(*client, "scene1.png", strip);
  const long long third = AddShape(*client, "scene1.png", Rectangle("b", 20, 20, 30, 30));
  // The scribble becomes a rectangle of label b: its two assignments give way to one.
  const Answer replaced =
      Send(*client, "PUT", "/api/shapes?image=scene1.png&id=" + std::to_string(second),
           Rectangle("b", 40, 40, 50, 60).dump());
  ASSERT_EQ(replaced.status, 200) << replaced.raw;
  ASSERT_EQ(
      Send(*client, "DELETE", "/api/shapes?image=scene1.png&id=" + std::to_string(first)).status,
      200);
  const Json shapes = Send(*client, "GET", "/api/shapes?image=scene1.png").body["shapes"];
  ASSERT_EQ(shapes.size(), 2u);
  EXPECT_EQ(shapes[0]["id"], second);
  EXPECT_EQ(shapes[0]["points"], Json({{40, 40}, {50, 60}}));
  EXPECT_EQ(shapes[1]["id"], third);
  ASSERT_EQ(Send(*client, "POST", "/api/save").status, 200);
  const std::vector<std::vector<std::string>> expected = {{"b", "b"}};
  EXPECT_EQ(SavedAssignments(), expected);
}

TEST_F(Editing, RenamingAndRemovingLabelsGoThroughTheLabelCollection) {
  RunningHost host(scratch_.Path());
  auto client = host.Client();
  AddLabels(*client, {"a", "b"});
  for (int i = 0; i < 3; ++i) {
    AddShape(*client, "scene1.png", Rectangle(i == 1 ? "b" : "a", 1 + 10 * i, 1, 8 + 10 * i, 8));
  }
  const Answer renamed =
      Send(*client, "PUT", "/api/labels?name=b", R"({"name":"beta","colour":"#102030"})");
  ASSERT_EQ(renamed.status, 200) << renamed.raw;
  EXPECT_EQ(renamed.body["colour"], "#102030");
  EXPECT_EQ(Send(*client, "PUT", "/api/labels?name=a", R"({"name":"beta"})").status, 409);
  // Both of a's shapes go, though the operator itself removes only one assignment per item.
  ASSERT_EQ(Send(*client, "DELETE", "/api/labels?name=a").status, 200);
  const Json shapes = Send(*client, "GET", "/api/shapes?image=scene1.png").body["shapes"];
  ASSERT_EQ(shapes.size(), 1u);
  EXPECT_EQ(shapes[0]["label"], "beta");
  ASSERT_EQ(Send(*client, "POST", "/api/save").status, 200);
  const auto model = Smartseg::LoadModel(ModelPath());
  ASSERT_EQ(model->Labels()->Count(), 1);
  EXPECT_EQ(model->Labels()->Item(0)->Name(), "beta");
  const std::vector<std::vector<std::string>> expected = {{"beta"}};
  EXPECT_EQ(SavedAssignments(), expected);
}

TEST_F(Editing, TwoClientsEditingAtOnceLoseNothing) {
  RunningHost host(scratch_.Path());
  auto setup = host.Client();
  AddLabels(*setup, {"a", "b"});
  constexpr int kEach = 25;
  std::vector<long long> ids[2];
  std::vector<std::thread> clients;
  for (int c = 0; c < 2; ++c) {
    clients.emplace_back([&, c] {
      auto client = host.Client();
      for (int i = 0; i < kEach; ++i) {
        const double x = 2 + 6 * i, y = 10 + 100 * c;
        const Answer answer = Send(*client, "POST", "/api/shapes?image=scene1.png",
                                   Rectangle(c == 0 ? "a" : "b", x, y, x + 4, y + 4).dump());
        if (answer.status == 200) ids[c].push_back(answer.body["id"]);
      }
      // Each client then removes its every other shape.
      for (std::size_t i = 0; i < ids[c].size(); i += 2) {
        Send(*client, "DELETE", "/api/shapes?image=scene1.png&id=" + std::to_string(ids[c][i]));
      }
    });
  }
  for (auto& thread : clients) thread.join();
  ASSERT_EQ(ids[0].size(), static_cast<std::size_t>(kEach));
  ASSERT_EQ(ids[1].size(), static_cast<std::size_t>(kEach));
  std::set<long long> unique(ids[0].begin(), ids[0].end());
  unique.insert(ids[1].begin(), ids[1].end());
  EXPECT_EQ(unique.size(), static_cast<std::size_t>(2 * kEach));

  const Json shapes = Send(*setup, "GET", "/api/shapes?image=scene1.png").body["shapes"];
  std::set<long long> left;
  for (const Json& shape : shapes) left.insert(shape["id"].get<long long>());
  std::set<long long> expected;
  for (int c = 0; c < 2; ++c) {
    for (std::size_t i = 1; i < ids[c].size(); i += 2) expected.insert(ids[c][i]);
  }
  EXPECT_EQ(left, expected);
  ASSERT_EQ(Send(*setup, "POST", "/api/save").status, 200);
  const auto saved = SavedAssignments();
  ASSERT_EQ(saved.size(), 1u);
  EXPECT_EQ(saved[0].size(), expected.size());
}

TEST_F(Editing, ARestartBringsBackShapesLabelsAndTheTrainedModel) {
  const Json polygon = {
      {"label", "stripes"}, {"type", "polygon"}, {"points", {{70, 80}, {110, 85}, {100, 120}}}};
  const Json scribble = {
      {"label", "background"}, {"type", "linestrip"}, {"points", {{10, 10}, {60, 14}, {150, 8}}}};
  Json before;
  {
    RunningHost host(scratch_.Path());
    auto client = host.Client();
    AddLabels(*client, {"stripes", "background"});
    AddShape(*client, "scene1.png", polygon);
    AddShape(*client, "scene1.png", scribble);
    AddShape(*client, "scene2.png", Rectangle("stripes", 200, 90, 230, 120));
    const Answer saved = Send(*client, "POST", "/api/save");
    ASSERT_EQ(saved.status, 200);
    EXPECT_TRUE(saved.body["caughtUp"]);
    EXPECT_FALSE(saved.body["dirty"]);
    before = Send(*client, "GET", "/api/shapes?image=scene1.png").body["shapes"];
  }
  // The LabelMe files are not what brings the shapes back: the model is.
  fs::remove(scratch_.Path() / "scene1.json");
  fs::remove(scratch_.Path() / "scene2.json");
  RunningHost host(scratch_.Path());
  auto client = host.Client();
  const Answer state = Send(*client, "GET", "/api/state");
  EXPECT_EQ(state.body["labels"].size(), 2u);
  EXPECT_FALSE(state.body["dirty"]);
  const Json after = Send(*client, "GET", "/api/shapes?image=scene1.png").body["shapes"];
  ASSERT_EQ(after.size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(after[i]["label"], before[i]["label"]);
    EXPECT_EQ(after[i]["type"], before[i]["type"]);
    ASSERT_EQ(after[i]["points"].size(), before[i]["points"].size());
    for (std::size_t k = 0; k < after[i]["points"].size(); ++k) {
      for (int axis = 0; axis < 2; ++axis) {
        EXPECT_NEAR(after[i]["points"][k][axis].get<double>(),
                    before[i]["points"][k][axis].get<double>(), 1e-9);
      }
    }
  }
  EXPECT_EQ(Send(*client, "GET", "/api/shapes?image=scene2.png").body["shapes"].size(), 1u);
}

TEST_F(Editing, LabelMeFilesBesideImagesAreImportedWhenTheModelDoesNotKnowThem) {
  const auto scene = Smartseg::MakeDemoScenes()[0];
  const auto document = Smartseg::MakeLabelMeDocument("scene1.png", 320, 256, scene.annotations);
  std::ofstream(scratch_.Path() / "scene1.json") << document.dump();
  std::ofstream(scratch_.Path() / "scene2.json") << "{broken";
  RunningHost host(scratch_.Path());
  auto client = host.Client();
  const Answer state = Send(*client, "GET", "/api/state");
  EXPECT_EQ(state.body["labels"].size(), 3u);
  EXPECT_EQ(state.body["images"][0]["shapes"], scene.annotations.size());
  ASSERT_EQ(state.body["warnings"].size(), 1u);
  EXPECT_NE(state.body["warnings"][0].get<std::string>().find("scene2.json"), std::string::npos);
}

}  // namespace
}  // namespace ServeTest
