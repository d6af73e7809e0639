#include "processing/cast_export.h"

namespace vesk {

CastExportWriter::CastExportWriter(const ProfileSettings& settings,
                                   std::vector<std::unique_ptr<ProfileWriter>> files,
                                   Listener listener)
    : settings_(settings), files_(std::move(files)), listener_(std::move(listener)) {}

bool CastExportWriter::Begin(const ExportContext& context) {
  error_.clear();
  products_.emplace(settings_, TunnelCrossSection(context.standardTunnel));
  for (std::size_t i = 0; i < files_.size(); ++i) {
    if (!files_[i]->Begin(context, settings_)) {
      error_ = files_[i]->Error();
      for (std::size_t j = 0; j < i; ++j) files_[j]->Discard();
      return false;
    }
  }
  return true;
}

void CastExportWriter::Emit(const std::shared_ptr<const ProfileRecord>& profile) {
  if (profile == nullptr) return;
  for (auto& f : files_) f->Write(profile);
  if (listener_) listener_(profile);
}

void CastExportWriter::Write(const ExportRow& row) {
  if (products_) Emit(products_->Feed(row));
}

bool CastExportWriter::Finish() {
  if (products_) Emit(products_->Finish());
  for (auto& f : files_) {
    if (!f->Finish()) {
      error_ = f->Error();
      Discard();
      return false;
    }
  }
  return true;
}

void CastExportWriter::Discard() {
  for (auto& f : files_) f->Discard();
}

}  // namespace vesk
