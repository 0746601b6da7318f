#include "extract/extraction_gate.h"

namespace {

// Forwards to the window's sink until the harvest is cleared under the running extraction.
class GatedSink final : public HarvestSink {
 public:
  GatedSink(HarvestSink& target, const bool& cleared) : target_(target), cleared_(cleared) {}

  void DeliveryStarts() override {
    if (!cleared_) target_.DeliveryStarts();
  }
  // Always: whatever a start held is released.
  void DeliveryEnds() override { target_.DeliveryEnds(); }

  void AppendText(const std::string& text) override {
    if (!cleared_) target_.AppendText(text);
  }
  void SetDescriptionUrl(const std::string& url) override {
    if (!cleared_) target_.SetDescriptionUrl(url);
  }
  void SetDescriptionPage(const std::string& page) override {
    if (!cleared_) target_.SetDescriptionPage(page);
  }
  void PublishPictures(const TextList& urls, const std::string& kindLabel) override {
    if (!cleared_) target_.PublishPictures(urls, kindLabel);
  }
  void SetItemId(const std::string& id) override {
    if (!cleared_) target_.SetItemId(id);
  }
  void SetVideoUrl(const std::string& url) override {
    if (!cleared_) target_.SetVideoUrl(url);
  }
  void SetVideoName(const std::string& name) override {
    if (!cleared_) target_.SetVideoName(name);
  }

 private:
  HarvestSink& target_;
  const bool& cleared_;
};

}  // namespace

bool ExtractionGate::Run(HarvestSink& target, const std::function<void(HarvestSink&)>& extract) {
  if (running_) return false;
  running_ = true;
  cleared_ = false;
  struct EndOfRun {
    bool& running;
    ~EndOfRun() { running = false; }
  } endOfRun{running_};
  GatedSink sink(target, cleared_);
  extract(sink);
  return true;
}

void ExtractionGate::NoteCleared() {
  if (running_) cleared_ = true;
}
