#include "acquisition/window_messages.h"

namespace vesk {

std::string_view UwmName(Uwm message) {
  switch (message) {
    case Uwm::StartGrid: return "UWM_STARTGRID_5645534B";
    case Uwm::StartGraph: return "UWM_STARTGRAPH_5645534B";
    case Uwm::StartBinnedDataPopup: return "UWM_STARTBINNEDDATAPOPUP_5645534B";
    case Uwm::StopGrid: return "UWM_STOPGRID_5645534B";
    case Uwm::StopGraph: return "UWM_STOPGRAPH_5645534B";
    case Uwm::StopBinnedDataPopup: return "UWM_STOPBINNEDDATAPOPUP_5645534B";
    case Uwm::CloseBinnedDataPopup: return "UWM_CLOSEBINNEDDATAPOPUP_5645534B";
    case Uwm::PerformStop: return "UWM_PERFORMSTOP_5645534B";
    case Uwm::ClosePlayback: return "UWM_CLOSEPLAYBACK_5645534B";
    case Uwm::UpdateControlBar: return "UWM_UPDATECONTROLBAR_5645534B";
    case Uwm::UpdateTimePlotsRelay: return "UWM_UPDATETIMEPLOTSRELAY_5645534B";
    case Uwm::UpdateTimePlots: return "UWM_UPDATETIMEPLOTS_5645534B";
    case Uwm::NavViewerUpdate: return "UWM_NAVVIEWER_UPDATE_5645534B";
    case Uwm::UpdateStatisticsDlg: return "UWM_UPDATE_STATISTICSDLG_5645534B";
  }
  return "";
}

}  // namespace vesk
