#include "control/live_records.h"

#include <chrono>
#include <cmath>
#include <nlohmann/json.hpp>

#include "files/export_csv.h"
#include "instruments/ctd_conversions.h"
#include "instruments/ctd_model.h"

namespace vesk {
namespace {

using Json = nlohmann::ordered_json;

Json Start(const char* type, const RecordHeader& h) {
  Json j;
  j["type"] = type;
  j["seq"] = h.sequence;
  j["utc"] = FormatIsoUtc(h.epochSeconds);
  j["source"] = h.playback ? "playback" : "live";
  return j;
}

// A measured value, or null when it is missing.
Json Value(double v) {
  return IsMissing(v) ? Json(nullptr) : Json(v);
}

// Texts from the instrument are single bytes: any that are not UTF-8 become U+FFFD.
std::string Text(const Json& j) {
  return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

void PutPosition(Json& j, const LivePosition& p) {
  j["latitude_deg_north"] = Value(p.latitude);
  j["longitude_deg_east"] = Value(p.longitude);
  j["gps_fix_age_s"] = Value(p.fixAgeSeconds);
}

void PutCtd(Json& j, const RecordScanInfo& scan, const ExportRow& r, const LivePosition& p) {
  double depth = kMissing;
  if (!IsMissing(r.pressure)) {
    depth = PressureToDepth(r.pressure, IsMissing(p.latitude) ? scan.surveyLatitude : p.latitude);
  }
  j["pressure_dbar"] = Value(r.pressure);
  j["depth_m"] = Value(depth);
  j["temperature_degC"] = Value(r.temperature);
  const bool milli =
      CtdConductivityUnit(scan.ctdModel) == ConductivityUnit::MilliSiemensPerCentimetre;
  j[milli ? "conductivity_mS_per_cm" : "conductivity_S_per_m"] = Value(r.conductivity);
  j["salinity_psu"] = Value(r.salinity);
  j["analog_instrument_units"] = Value(r.analog);
}

}  // namespace

double UtcNow() {
  return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

std::string LRecordJson(const RecordHeader& header, const RecordScanInfo& scan,
                        const ExportRow& row, const LivePosition& position) {
  Json j = Start("L", header);
  j["l_frame_index"] = row.lFrameIndex;
  PutPosition(j, position);
  PutCtd(j, scan, row, position);
  j["flow_speed_m_per_s"] = row.flowSpeed;
  j["counts_per_volume_1000_per_m3"] = row.countsPerVolume;
  j["frame_total_counts"] = row.frameTotal;
  j["window_count_counts"] = row.windowCount;
  j["counter_value"] = row.counterValue;
  j["laser_monitor"] = row.laserMonitor;
  j["bins"] = row.bins;
  return Text(j);
}

std::string CRecordJson(const RecordHeader& header, const RecordScanInfo& scan,
                        std::string_view line, const ExportRow& ctd, const LivePosition& position) {
  Json j = Start("C", header);
  j["l_frame_index"] = ctd.lFrameIndex;
  j["line"] = std::string(line);
  PutCtd(j, scan, ctd, position);
  return Text(j);
}

std::string MRecordJson(const RecordHeader& header, std::span<const std::uint32_t> events,
                        std::uint32_t lFrameCount) {
  std::size_t flagged = 0;
  for (std::size_t i = 3; i < events.size(); i += 4) {
    if ((events[i] & 0x8000) != 0) ++flagged;
  }
  Json j = Start("M", header);
  j["l_frame_index"] = lFrameCount;
  j["events"] = events.size() / 4;
  j["mep_flagged"] = flagged;
  j["partial"] = events.size() >= 4 && events[events.size() - 3] == kPartialEventStamp;
  return Text(j);
}

std::string AlarmRecordJson(const RecordHeader& header, std::string_view alarm, bool raised,
                            std::string_view text) {
  Json j = Start("alarm", header);
  j["alarm"] = std::string(alarm);
  j["state"] = raised ? "raised" : "cleared";
  j["text"] = std::string(text);
  return Text(j);
}

std::string MarkRecordJson(const RecordHeader& header, const Mark& mark) {
  Json j = Start("mark", header);
  j["mark"] = mark.number;
  j["l_frame_index"] = mark.lFrameIndex;
  j["latitude_deg_north"] = Value(mark.latitude);
  j["longitude_deg_east"] = Value(mark.longitude);
  j["note"] = mark.note;
  return Text(j);
}

Json ProfileSummaryJson(const ProfileValues& p) {
  return {{"profile", p.number},
          {"direction", DirectionName(p.direction)},
          {"first_l_frame", p.firstLFrame},
          {"last_l_frame", p.lastLFrame},
          {"depth_min_m", p.depthMin},
          {"depth_max_m", p.depthMax},
          {"frames_used", p.framesUsed},
          {"loop_edited", p.loopEdited},
          {"no_flow", p.noFlow},
          {"volume_m3", p.volume},
          {"count", p.count},
          {"concentration_per_m3", p.concentration},
          {"nbss_slope", Value(p.fit.slope)},
          {"nbss_intercept", Value(p.fit.intercept)},
          {"nbss_bins_fitted", p.fit.bins}};
}

std::string ProfileRecordJson(const RecordHeader& header, const ProfileValues& profile) {
  Json j = Start("profile", header);
  j.update(ProfileSummaryJson(profile));
  return Text(j);
}

RecordHeader LiveRecordSink::Header(double epochSeconds) {
  return RecordHeader{publisher_.NextSequence(), epochSeconds, playback_};
}

void LiveRecordSink::OnLRecord(const ExportRow& row) {
  if (!publisher_.Wants(PublishedType::L)) return;
  publisher_.Send(LRecordJson(Header(UtcNow()), scan_, row, position_()));
}

void LiveRecordSink::OnCRecord(std::string_view line, const ExportRow& ctd) {
  if (!publisher_.Wants(PublishedType::C)) return;
  publisher_.Send(CRecordJson(Header(UtcNow()), scan_, line, ctd, position_()));
}

void LiveRecordSink::OnMEvents(std::span<const std::uint32_t> events, std::uint32_t lFrameCount) {
  if (!publisher_.Wants(PublishedType::M)) return;
  publisher_.Send(MRecordJson(Header(UtcNow()), events, lFrameCount));
}

void LiveRecordSink::OnProfile(const ProfileValues& profile) {
  if (!publisher_.Wants(PublishedType::Profile)) return;
  publisher_.Send(ProfileRecordJson(Header(UtcNow()), profile));
}

void LiveRecordSink::PublishAlarm(std::string_view alarm, bool raised, std::string_view text) {
  if (!publisher_.Wants(PublishedType::Alarm)) return;
  publisher_.Send(AlarmRecordJson(Header(UtcNow()), alarm, raised, text));
}

void LiveRecordSink::PublishMark(const Mark& mark) {
  if (!publisher_.Wants(PublishedType::Mark)) return;
  publisher_.Send(MarkRecordJson(Header(mark.epochSeconds), mark));
}

}  // namespace vesk
