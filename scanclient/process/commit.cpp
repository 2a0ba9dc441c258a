// The commit, run by DoOK and by the window's close box: re-checks the
// sheets, shows the finish image, asks its questions, saves every sheet and
// ends the program with 1 (all saved) or 0.

#include "scanclient/process/commit.h"

#include "guicommon/cmdline.h"
#include "platform/imaging/pixo_control.h"
#include "platform/imaging/pixo_members.h"
#include "platform/runtime/step_times.h"
#include "platform/runtime/convert.h"
#include "platform/runtime/datetime.h"
#include "platform/runtime/error.h"
#include "platform/runtime/files.h"
#include "platform/runtime/strings.h"
#include "platform/uiscript/uiscript.h"
#include "platform/win32/environment.h"
#include "scanclient/core/error_tail.h"
#include "scanclient/core/quillet0.h"
#include "scanclient/core/quillet1.h"
#include "scanclient/core/tables.h"
#include "scanclient/process/commit_saves.h"
#include "scanclient/process/prepare.h"

#include <deque>
#include <memory>

namespace quillet {

using guicommon::GetParam;
using imaging::Pixo;

namespace {

std::string TokenValue(const std::string& token) {
  if (token == "APP.PATH") return App.ProgramDir;
  if (token == "FIL.PATH") return App.FilPath;
  if (token == "DATE") return rt::Format(App.CommitStamp, "yyyymmdd");
  if (token == "TIME") return rt::Format(App.CommitStamp, "hhnnss");
  if (token == "COMP") return App.ComputerName;
  if (token == "USER") return App.UserName;
  return token;
}

// The last folder separator of a platform or host path, 0 when none.
int32_t LastSeparator(std::string_view path) { return std::max(rt::InStrRev(path, "\\"), rt::InStrRev(path, "/")); }

// Creates the one folder the name lies in when it is missing (its parent
// must exist).
void MakeOutputFolder(const std::string& name) {
  const int32_t p = LastSeparator(name);
  if (p == 0) return;
  // Mapped with its separator, so that a drive root ("C:\") maps as a whole.
  std::string folder = win32::HostPath(rt::Left(name, p));
  while (!folder.empty() && folder.back() == '/') folder.pop_back();
  if (folder.empty()) return;  // the root always exists
  if (rt::Dir(folder, rt::kDirectory).empty()) rt::MkDir(folder);
}

std::string Fill(std::string m, std::string_view token, const std::string& value) {
  int32_t p = rt::InStr(m, token);
  if (p == 0) p = rt::Len(m) + 1;
  return rt::Left(m, p - 1) + value + rt::Mid(m, p + static_cast<int32_t>(token.size()));
}

}  // namespace

std::string ExpandNameTokens(std::string_view name) {
  std::string out;
  int32_t from = 1;
  for (;;) {
    const int32_t p1 = rt::InStr(from, name, "{");
    const int32_t p2 = p1 > 0 ? rt::InStr(p1, name, "}") : 0;
    if (p1 == 0 || p2 == 0) break;
    std::string token = rt::Mid(name, p1 + 1, p2 - p1 - 1);
    int32_t n = 255;
    if (const int32_t comma = rt::InStr(token, ","); comma > 0) {
      const std::string length = rt::Mid(token, comma + 1);
      token = rt::Left(token, comma - 1);
      if (rt::IsNumeric(length)) n = rt::CInt(rt::Val(length));
    }
    out += rt::Mid(name, from, p1 - from);
    out += rt::Left(TokenValue(token), n);
    from = p2 + 1;
  }
  out += rt::Mid(name, from);
  return out;
}

std::string OutputFolder() {
  std::string dir = rt::Trim(GetParam("3"));
  if (dir.empty()) rt::Raise(rt::kPathNotFound);
  // ".\" is the program's own folder, a host path.
  if (rt::Left(dir, 2) == ".\\" || rt::Left(dir, 2) == "./") dir = App.ProgramDir + "/" + rt::Mid(dir, 3);
  // The separator the folder is written with: a host folder takes "/".
  const char* separator = rt::InStr(dir, "/") > 0 ? "/" : "\\";
  const std::string last = rt::Right(dir, 1);
  if (last != "\\" && last != "/") dir += separator;
  return ExpandNameTokens(dir);
}

std::string OutputFileName(const DocTypeRow& row) {
  const std::string id = rt::Trim(GetParam("2"));
  return ExpandNameTokens(row[Doc::Type] + "_" + id + "." + row[Doc::Format]);
}

std::string OutputName(const DocTypeRow& row) { return OutputFolder() + OutputFileName(row); }

namespace {

// Names that open a device in any folder of the platform, with any
// extension.
constexpr std::string_view kDeviceNames[] = {
    "CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
    "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9",
};

bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }

}  // namespace

bool SafeFileName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name) {
    if (c == '/' || c == '\\' || IsControl(c)) return false;
  }
  // The platform ignores blanks and dots at the end of the part before the
  // first dot: "NUL .TIF" is the device too.
  std::string_view stem = name.substr(0, name.find('.'));
  while (!stem.empty() && (stem.back() == ' ' || stem.back() == '.')) stem.remove_suffix(1);
  for (std::string_view device : kDeviceNames) {
    if (rt::StrComp(stem, device, rt::kTextCompare) == 0) return false;
  }
  return true;
}

std::string ShownName(std::string_view name) {
  std::string shown(name);
  for (char& c : shown) {
    if (IsControl(c)) c = '?';
  }
  return shown;
}

std::string SeparatePageName(std::string_view name, int16_t page) {
  const std::string suffix = "_" + rt::CStr(static_cast<double>(page));
  const int32_t dot = rt::InStrRev(name, ".");
  if (dot == 0 || dot < LastSeparator(name)) return std::string(name) + suffix;
  return rt::Left(name, dot - 1) + suffix + rt::Mid(name, dot);
}

std::string OutputNames::Claim(const std::string& wanted) {
  std::string name = wanted;
  for (int16_t n = 2; used_.count(name) > 0; ++n) name = SeparatePageName(wanted, n);
  used_.insert(name);
  return name;
}

std::string ClosingText(std::string m) {
  const int32_t a = rt::InStr(m, "[");
  const int32_t b = a > 0 ? rt::InStr(a + 1, m, "]") : 0;
  if (a > 0 && b > a) {
    const std::string speed = rt::Mid(m, a + 1, b - a - 1);
    if (rt::IsNumeric(speed)) App.LineSpeed = rt::CLng(rt::Val(speed));
  }
  if (App.LineSpeed == 0) App.LineSpeed = 28800;
  App.TransferSeconds = rt::CLng(rt::Int(App.TotalBytes / (App.LineSpeed / 10.0)));
  App.TotalBytes = rt::CLng(rt::Int(App.TotalBytes / 1024.0));
  m = Fill(std::move(m), "{SIZE}", rt::CStr(static_cast<double>(App.TotalBytes)) + "kb");
  return Fill(std::move(m), "{TIME}", rt::CStr(static_cast<double>(App.TransferSeconds)));
}

void Quillet1::DoOK_Click() {
  ProcScope p("DoOK", Tail::ExitNow);
  p.Run([&] {
    for (int16_t i = 0; i < Page.Count(); ++i) {
      if (Page(i).BackColor != SheetOkColor) {
        ThumbClk(i);
        Thumb_Autocheck(i, 2);
      }
    }
    L1_Zoom(0);

    if (!App.FinishTable[0].empty() && FileFound(App.FinishTable[0])) {
      ComposeFinish();
      App.rc = uiscript::MessageBox(App.Messages[21], uiscript::kYesNo, "Frage !");
      if (App.rc == uiscript::kYes) return;
    }

    App.LastSavedType = -1;
    App.PageNumber = 0;
    App.CommitStamp = rt::Now();

    bool save = true;
    if (DoOK.Tag.Get() != "0" || DoOK.BackColor != SheetOkColor) {
      App.rc = uiscript::MessageBox(App.Messages[18], uiscript::kYesNo | uiscript::kDefaultButton2, "Warning !");
      if (App.rc == uiscript::kNo) return;
      save = false;
    }

    if (save) {
      App.TotalBytes = 0;
      App.LineSpeed = 28800;
      App.TransferSeconds = 0;
      // A file name that cannot be one file of the output folder is refused
      // before anything is written; the sheets stay for a corrected call.
      // Built at the step of its sheet's naming, where a run-time error in
      // a name (a negative length) is reported.
      for (int16_t k = 0; k <= App.MaxSheet; ++k) {
        p.step = k * 10 + 2;
        const int32_t t = rt::CLng(rt::Val(Thumb(k).Tag.Get()));
        if (t < 1 || t >= static_cast<int32_t>(App.DocTypeTable.size())) continue;  // the loop reports these
        const std::string file = OutputFileName(DocRow(t));
        if (!SafeFileName(file)) {
          LogLine("Error Name:" + ShownName(file));
          uiscript::MessageBox("Error Name:" + ShownName(file), uiscript::kOkOnly, App.ProductName);
          return;
        }
      }
      p.step = 1;

      OutputNames names;
      // Each file is written aside, beside its name under a name of this
      // process, and moved over its name once complete; dropped after a
      // failed page, and when the commit ends before the file is complete
      // (the error tail unwinds through it), so no part is left behind and
      // the name keeps the file it had.
      struct Sheet {
        std::string name, host;
        bool last = false;
        SheetSave save;
      };
      std::deque<Sheet> sheets;  // taken, in sheet order; `reported` of them reported
      size_t reported = 0;
      const int32_t workers = CommitWorkers();
      SaveQueue queue(workers);
      // The results of the sheets taken, in sheet order: the log lines, the
      // box of a failed save and the move of a complete file over its name,
      // as each sheet's save ends. `all` waits for every one; else only
      // those already written are reported.
      auto report = [&](bool all) {
        for (; reported < sheets.size(); ++reported) {
          Sheet& sh = sheets[reported];
          if (!all && !queue.Done(&sh.save)) return;
          queue.Wait(&sh.save);
          FileSave& f = *sh.save.file;
          std::string line;
          if (!sh.save.skipped) {
            App.rc = sh.save.rc;
            if (App.rc == 0 && sh.last) {
              // A full disk shows at the flush.
              if (f.file.Commit() != 0) App.rc = imaging::kPixoWriteFailed;
              else App.TotalBytes = rt::AddLong(App.TotalBytes, rt::FileLen(sh.host));
            }
            // The size of the file that is there now: the one being written
            // while pages are still to come, else the one under the name.
            line = "Save:" + sh.name + "," + rt::CStr(static_cast<double>(App.rc));
            if (App.rc == 0 && !sh.last) {
              if (sh.save.asideSize >= 0) line += ",Size=" + rt::CStr(static_cast<double>(sh.save.asideSize));
            } else if (rt::FileExists(sh.host)) {
              line += ",Size=" + rt::CStr(static_cast<double>(rt::FileLen(sh.host)));
            }
            if (App.DebugLevel > 1) LogLine(line);
            if (App.rc != 0) {
              DoOK.Tag = "-2";
              LogLine("Error " + line);
              uiscript::MessageBox("Error " + line, uiscript::kOkOnly, App.ProductName);
              // The worker has marked the file failed, so its later pages
              // are not written.
              f.file.Discard();  // the file of that name stays as it was
            }
          } else {
            // A later page of a file that failed is not written: the log says
            // so for this sheet too, with the result that failed the file.
            line = "Save:" + sh.name + "," + rt::CStr(static_cast<double>(sh.save.rc));
            if (rt::FileExists(sh.host)) line += ",Size=" + rt::CStr(static_cast<double>(rt::FileLen(sh.host)));
            LogLine("Error " + line);
          }
        }
      };
      std::shared_ptr<FileSave> file;  // the file being taken
      std::string name;
      rt::MarkStep("commit.begin");
      for (int16_t k = 0; k <= App.MaxSheet; ++k) {
        // What the saves taken so far have done is reported before anything
        // of this sheet can end the commit, and as it comes.
        report(false);
        try {
          p.step = k * 10 + 2;
          if (rt::CLng(PixGet(Thumb(k), Pixo::BitmapHandle)) == 0) {
            report(true);
            p.ErrorExit(-20, "Bitmap Error!");
          }
          const int32_t t = rt::CLng(rt::Val(Thumb(k).Tag.Get()));
          if (t < 1) {
            report(true);
            p.ErrorExit(-21, "Internal Error!");
          }
          const DocTypeRow& row = DocRow(t);
          const bool multiPage = SaveFormatFor(row[Doc::Format], row[Doc::Options], false).multiPage != 0;
          const int16_t page = t == App.LastSavedType ? App.PageNumber : int16_t{1};
          // Every sheet starts a file, except the later pages of a multi-page one.
          const bool newFile = page == 1 || !multiPage;
          if (newFile) {
            std::string wanted = OutputName(row);
            if (page > 1) wanted = SeparatePageName(wanted, page);
            name = names.Claim(wanted);
            if (name != wanted) LogLine("Save:" + wanted + " written by this commit, saved as " + name);
          }
          MakeOutputFolder(name);

          Status.Text = "Saving " + name;
          Status.Refresh();
          p.step = k * 10 + 4;
          SelectSaveFormat(t, k);

          p.step = k * 10 + 5;
          App.SaveBits = L2Prepare(k, App.SaveBits);
          App.SaveBits = L2FitFormat(App.SaveFormat, App.SaveBits);
          SetSaveOptions(t);

          p.step = k * 10 + 6;
          if (t != App.LastSavedType) App.PageNumber = 1;
          PixPut(L2, Pixo::SaveOption266, App.PageNumber);
          // The new file is written aside; the file of the name stays until
          // the complete one replaces it. When its temporary cannot be made
          // (a read-only or full folder) the sheet's save fails as the
          // imaging control's would.
          if (newFile) {
            file = std::make_shared<FileSave>();
            file->file.Create(win32::HostPath(name));
            file->aside = file->file.aside();
          }

          p.step = k * 10 + 7;
          // Made whole before it joins `sheets`: the error tail waits for
          // every sheet there, so each must be in the queue.
          Sheet next;
          next.name = name;
          next.host = win32::HostPath(name);
          // The file is complete when the next sheet starts another one.
          next.last = !multiPage || k == App.MaxSheet || rt::CLng(rt::Val(Thumb(k + 1).Tag.Get())) != t;
          next.save.file = file;
          next.save.page = file->pages;
          if (!file->aside.empty()) {
            imaging::PixoControl::TakenSave taken = dynamic_cast<imaging::PixoControl&>(*L2.Object())
                .TakeSave(file->aside, App.SaveFormat, App.SaveBits, App.SaveQuality, 1, workers > 1);
            next.save.encode = std::move(taken.encode);
            next.save.write = std::move(taken.write);
          }
          Sheet& sh = sheets.emplace_back(std::move(next));
          ++file->pages;
          queue.Add(&sh.save);
          // One worker: each sheet is written whole and reported before the
          // next is prepared, as the imaging control's own save would.
          if (workers == 1) report(true);
          App.LastSavedType = static_cast<int16_t>(t);
          App.PageNumber = rt::AddInt(App.PageNumber, 1);
        } catch (...) {
          report(true);
          throw;
        }
      }
      report(true);
      rt::MarkStep("commit.end");

      const std::string& closing = App.Messages[20];
      if (!closing.empty() && closing != "Message 20") {
        std::string m = ClosingText(closing);
        if (App.DebugLevel > 2) LogLine(m);
        uiscript::MessageBox(ExpandCR(std::move(m)), uiscript::kOkOnly, App.ProductName);
      }
    }

    p.step = 9;
    App.rc = rt::CLng(PixCall(L1, Pixo::TwainEndSession, {rt::Variant(hWnd())}));
    Status.Text = "";
    if (!rt::IsNumeric(DoOK.Tag.Get())) DoOK.Tag = "-1";
    // Ending after the warning saved nothing, whatever the tag says: that is
    // never the "all saved" result.
    ExitNow(!save || rt::Val(DoOK.Tag.Get()) != 0 ? 0 : 1);
  });
}

}  // namespace quillet
