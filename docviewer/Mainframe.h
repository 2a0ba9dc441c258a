#pragma once
// MFrame: Lumoret's one top-level window. It parses the command line, owns
// the status bar, the toolbar, the rich-text control and the document
// object, loads the file at creation, prints on request, asks before an
// unprinted document is closed, remembers its placement and ends the
// message loop with the exit code:
//   1 loaded and printed, -1 loaded and not printed, -2 nothing loaded.

#include <string>

#include "docviewer/redoc.h"
#include "docviewer/reutil.h"
#include "platform/windows/window.h"

class MFrame {
 public:
  static constexpr const wchar_t* kClassName = L"ORN RTF Viewer";
  static constexpr const wchar_t* kCaption = L"ORN RTF Viewer";
  // Registry key below HKEY_CURRENT_USER and its value.
  static constexpr const char* kPlacementKey = "software\\kalmoor\\lumoret";
  static constexpr const char* kPlacementValue = "placement";
  static constexpr REUtil::PrintMargins kMargins{125, 50, 125, 50};

  // Parses the command line: -f FILE, -c CAPTION, -t KIND, -n (options in
  // any case; one that needs a value and stands last is ignored; a later
  // repetition wins; anything else is ignored).
  MFrame();
  virtual ~MFrame();
  MFrame(const MFrame&) = delete;
  MFrame& operator=(const MFrame&) = delete;

  // Registers the window class (once) with `icon` and creates the frame.
  win::HWND Create(win::HWND parent, const wchar_t* title, win::HMENU menu, win::HICON icon);
  // The message map; false leaves the message to the default handling.
  bool ProcessWindowMessage(win::HWND hwnd, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam,
                            win::LRESULT& result);
  // The value the quit message carries when the frame is gone.
  int ExitCode() const;

  // The window title after a load: "%s - %s" of the name part (or the kind's
  // text) and the caption (or the name part); the product caption first when
  // neither is given. Sets *noQuestion for the kind "3".
  static std::wstring MakeTitle(const wchar_t* file, const wchar_t* caption, const wchar_t* kind, bool* noQuestion);

  const wchar_t* FilePath() const { return m_pszFile; }
  const wchar_t* Caption() const { return m_pszCaption; }
  const wchar_t* Kind() const { return m_pszKind; }
  bool NoCloseQuestion() const { return m_bNoQuestion != 0; }

  win::HWND m_hWnd = nullptr;

 private:
  static win::LRESULT WindowProc(win::HWND hwnd, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam);

  win::LRESULT OnCreate();
  void OnSize(win::WPARAM wParam, win::LPARAM lParam);
  void OnSetFocus();
  void OnClose();
  void OnPrint();
  void OnExit();
  void OnAbout();
  void OnFinalMessage(win::HWND hwnd);

  void CreateToolbar();
  bool LoadFile();
  bool PrintDoc(win::HDC hdc);
  // Makes `hdc` the control's target device with the printable width of the
  // page (8640 twips for the display); the frame keeps and later deletes it.
  void SetTargetDevice(win::HDC hdc, bool printer);
  void UpdateUI();
  void SetStatusText(const wchar_t* format, ...);
  void ShowError(win::DWORD error);
  win::RECT GetClientArea();
  void SavePlacement();
  void RestorePlacement();

  win::HWND m_hwndStatus = nullptr;
  win::HWND m_hwndToolbar = nullptr;
  win::HWND m_hwndRE = nullptr;
  CRichEditDoc* m_pDoc = nullptr;
  // Point into the parsed command line, which the frame keeps to its end.
  wchar_t** m_argv = nullptr;
  const wchar_t* m_pszFile = nullptr;
  const wchar_t* m_pszCaption = nullptr;
  const wchar_t* m_pszKind = nullptr;
  int32_t m_bLoaded = 0;
  int32_t m_bPrinted = 0;
  int32_t m_bNoQuestion = 0;

  // A print run is in progress: the abort procedure pumps messages, so a
  // second print request is refused and a close waits for its end.
  bool m_bPrinting = false;
  bool m_bClosePending = false;
  win::HDC m_hdcTarget = nullptr;
  win::DWORD m_dwError = 0;  // of the last failed load or print, taken at once
};
