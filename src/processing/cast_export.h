#pragma once
// The cast products as one writer of the export stage: fed the rows the stage completes (the
// depth filled from the GPS latitude), it hands each profile to its files as it ends and to a
// listener (the summary, later the published records), and the last one when the data end.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "files/export_stage.h"
#include "files/profile_record.h"
#include "processing/cast_products.h"

namespace vesk {

class CastExportWriter final : public ExportWriter {
 public:
  // Called on the thread that feeds the export stage, and from Finish for the last profile.
  using Listener = std::function<void(const std::shared_ptr<const ProfileRecord>&)>;

  // `settings` must have no Problem(); `files` may be empty (the profiles go to the listener
  // only).
  CastExportWriter(const ProfileSettings& settings,
                   std::vector<std::unique_ptr<ProfileWriter>> files, Listener listener = {});

  bool Begin(const ExportContext& context) override;
  void Write(const ExportRow& row) override;
  void WriteEvent(const MepEvent&) override {}
  void WriteMarks(const std::vector<Mark>&) override {}
  bool Finish() override;
  void Discard() override;
  std::string Error() const override { return error_; }
  // A row costs the cast products a few additions: less than a copy of it.
  bool Immediate() const override { return true; }

 private:
  void Emit(const std::shared_ptr<const ProfileRecord>& profile);

  ProfileSettings settings_;
  std::vector<std::unique_ptr<ProfileWriter>> files_;
  Listener listener_;
  std::optional<CastProducts> products_;
  std::string error_;
};

}  // namespace vesk
