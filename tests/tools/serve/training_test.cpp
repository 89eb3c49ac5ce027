// The background trainer: predictions follow the edits, a save during training writes a whole,
// trained model, and the folder batch writes every image's results.
#include <opencv2/imgcodecs.hpp>

#include "tests/tools/serve/ServeTestHost.h"
#include "tools/smartseg/LabelMe.h"
#include "tools/smartseg/ModelFile.h"

namespace ServeTest {
namespace {

class Training : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteScenes(scratch_.Path(), 2);
    host_ = std::make_unique<RunningHost>(scratch_.Path());
    client_ = host_->Client();
  }

  // Adds the demo's labels and its annotations of scene1.
  void AnnotateScene1() {
    AddLabels(*client_, Smartseg::DemoLabelNames());
    const auto scene = Smartseg::MakeDemoScenes()[0];
    for (const auto& shape : scene.annotations) {
      Json points = Json::array();
      for (const auto& point : shape.points) points.push_back({point.X, point.Y});
      const std::string type = shape.type == "line" ? "linestrip" : shape.type;
      AddShape(*client_, "scene1.png",
               {{"label", shape.label}, {"type", type}, {"points", points}});
    }
  }

  // Waits for a prediction of `image` made at the current generation.
  Json CurrentPrediction(const std::string& image) {
    Json prediction;
    const bool current = WaitFor(
        [&] {
          prediction = Send(*client_, "GET", "/api/prediction?image=" + image).body;
          return prediction.value("current", false);
        },
        120.0);
    EXPECT_TRUE(current) << prediction.dump();
    return prediction;
  }

  Scratch scratch_;
  std::unique_ptr<RunningHost> host_;
  std::unique_ptr<httplib::Client> client_;
};

TEST_F(Training, ThePredictionFollowsTheEditsAndMatchesTheScene) {
  AnnotateScene1();
  const Json prediction = CurrentPrediction("scene1.png");
  EXPECT_EQ(prediction["labels"], Json(Smartseg::DemoLabelNames()));
  const auto view = client_->Get("/api/prediction/view?image=scene1.png&view=labels");
  ASSERT_TRUE(view);
  ASSERT_EQ(view->status, 200);
  const std::vector<std::uint8_t> bytes(view->body.begin(), view->body.end());
  const cv::Mat labels = cv::imdecode(bytes, cv::IMREAD_UNCHANGED);
  ASSERT_EQ(labels.type(), CV_8UC1);
  ASSERT_EQ(labels.cols, 320);
  ASSERT_EQ(labels.rows, 256);
  const auto iou =
      Smartseg::LabelIoU(SmartsegTest::ToPicture(labels), Smartseg::MakeDemoScenes()[0].truth, 3);
  for (const double value : iou) EXPECT_GT(value, 0.85);

  // A downscaled view keeps the aspect; uncertainty and suggestions come with the prediction.
  const auto small = client_->Get("/api/prediction/view?image=scene1.png&view=uncertainty&max=64");
  ASSERT_TRUE(small);
  const cv::Mat uncertainty = cv::imdecode(
      std::vector<std::uint8_t>(small->body.begin(), small->body.end()), cv::IMREAD_UNCHANGED);
  EXPECT_EQ(uncertainty.cols, 64);
  EXPECT_EQ(uncertainty.rows, 51);
  ASSERT_TRUE(prediction["suggestions"].is_array());
  EXPECT_LE(prediction["suggestions"].size(), 5u);

  // An edit makes the prediction stale until the trainer has caught up with it.
  const long long before = prediction["generation"];
  AddShape(*client_, "scene1.png", Rectangle("grain", 220, 140, 236, 156));
  const Json next = CurrentPrediction("scene1.png");
  EXPECT_GT(next["generation"].get<long long>(), before);

  // An image without annotations is segmented by the same model.
  const Json other = CurrentPrediction("scene2.png");
  EXPECT_TRUE(other["available"]);
}

TEST_F(Training, SavingWhileTrainingWritesAWholeTrainedModel) {
  AnnotateScene1();
  // Edits keep the trainer busy while the save arrives.
  std::thread editor([this] {
    auto client = host_->Client();
    for (int i = 0; i < 10; ++i) {
      Send(*client, "POST", "/api/shapes?image=scene2.png",
           Rectangle("background", 2 + 3 * i, 2, 4 + 3 * i, 6).dump());
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
  });
  const Answer saved = Send(*client_, "POST", "/api/save");
  editor.join();
  ASSERT_EQ(saved.status, 200) << saved.raw;
  EXPECT_TRUE(saved.body["caughtUp"]);
  EXPECT_FALSE(saved.body["dirty"]);
  // The file is a whole model: it loads, it is trained, and `smartseg` could segment with it.
  const auto model = Smartseg::LoadModel(scratch_.Path() / "smartseg.model");
  EXPECT_FALSE(model->IsDirty());
  // A second save after the edits holds them all.
  const Answer again = Send(*client_, "POST", "/api/save");
  ASSERT_EQ(again.status, 200);
  const auto annotation = Smartseg::ReadLabelMe(scratch_.Path() / "scene2.json");
  EXPECT_EQ(annotation.shapes.size(), 10u);
  // No temporary file is left behind; the host's lock on the model is all else there is.
  for (const auto& entry : fs::directory_iterator(scratch_.Path())) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(name == "smartseg.model" || name == ".smartseg.model.smartseg-lock" ||
                entry.path().extension() == ".png" || entry.path().extension() == ".json")
        << name;
  }
}

TEST_F(Training, SegmentingTheFolderWritesEveryImagesResults) {
  const Answer early = Send(*client_, "POST", "/api/segment-folder");
  ASSERT_EQ(early.status, 200);
  Json status;
  const auto finished = [&](double seconds) {
    return WaitFor(
        [&] {
          status = Send(*client_, "GET", "/api/state").body["trainer"]["batch"];
          return !status["running"].get<bool>();
        },
        seconds);
  };
  // Without training data the batch fails with a message, and the server goes on.
  ASSERT_TRUE(finished(60.0));
  EXPECT_NE(status["error"].get<std::string>().find("add labels and shapes first"),
            std::string::npos)
      << status.dump();

  AnnotateScene1();
  CurrentPrediction("scene1.png");
  ASSERT_EQ(Send(*client_, "POST", "/api/segment-folder").status, 200);
  ASSERT_TRUE(finished(120.0));
  EXPECT_EQ(status["error"], "");
  EXPECT_EQ(status["done"], 2);
  for (const char* file : {"scene1_labels.png", "scene2_labels.png", "scene1.json"}) {
    EXPECT_TRUE(fs::exists(scratch_.Path() / "segmented" / file)) << file;
  }
  // The results folder is no image of the folder.
  EXPECT_EQ(Send(*client_, "GET", "/api/state").body["images"].size(), 2u);
}

}  // namespace
}  // namespace ServeTest
