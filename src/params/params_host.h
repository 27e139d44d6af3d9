// What the parameter logic needs from the Parameters dialog and the main window.
// The window implements it; the command line and tests implement the parts they
// use. Every call defaults to doing nothing (the input dialog to "Отмена").
#pragma once
#include <vector>

#include "params/param_edit.h"
#include "params/param_view.h"

namespace kor {

class ParamsHost {
 public:
  virtual ~ParamsHost() = default;
  // Tree 145: replace the items, then select items[select] (whose selection
  // change then shows its group).
  virtual void SetTree(const std::vector<TreeItem>& items, int select) { (void)items, (void)select; }
  // Caption 146, labels and value rows.
  virtual void ShowRows(const ParameterView& view) { (void)view; }
  virtual void SetTitle(const char* fileName) { (void)fileName; }
  virtual void ShowSaveButton(bool shown) { (void)shown; }
  // Main window: post command 107 with 0xAFFF (open the editor on the
  // command-line file).
  virtual void OpenEditorForCommandLineFile() {}
  // Broadcast "CloseKorSync" with the main window's handle.
  virtual void BroadcastCloseOthers() {}
  // Dialog 198 with these fields; 1 for "ОК" (the fields then hold what the
  // operator left in them), 2 for "Отмена" or closing.
  virtual int RunInputDialog(InputFields& fields) { (void)fields; return 2; }
};

ParamsHost& params_host();
// Null puts the do-nothing host back.
void set_params_host(ParamsHost* host);

}  // namespace kor
