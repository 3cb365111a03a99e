// The composition engine as the controller sees it: one job composes one
// template of one set, in preview mode (a screen-size JPEG in the template's
// composing folder) or in result mode (the print file). The engine (engine/)
// implements TComposeService; the window shows the job progress window
// while a job runs, the headless tool prints progress instead. Tests
// implement it with fakes.
//
// Also here: where results are written and how they are named, shared by the
// batch command of the window and `tessaro-cli compose`, so both write the
// same files.
#pragma once

#include <string>

#include "model/Records.h"

namespace tessaro {

// The fields of one composition job (the composing thread's fields).
struct TComposeJob {
  bool PreviewMode = true;
  // Not owned. Read without locks while the job runs: the caller keeps the
  // set unchanged until RunJob returns.
  const TSetNode* SetNode = nullptr;
  int TemplateIndex = -1;      // into SetNode->PreviewTemps and ResultTemps
  bool PsdOutput = false;      // result as a layered document instead of a JPEG
  std::string PreviewFile;     // the preview JPEG (both modes; a result job may leave it empty)
  std::string ResultFile;      // the result file; empty in preview mode
  bool CancelEffects = false;  // skip the slots' photo effects
  int PSVersionIndex = -1;     // entry of the editor version table to use
};

// How a job ended. Finished says nothing about its outputs: errors inside a
// job are reported through the message queue and leave the outputs missing.
enum class TJobOutcome { Finished, Cancelled };

// What checking the image editor found (the main thread's connection).
enum class TEditorCheck {
  Ready,        // connected; the version index is set
  Starting,     // the editor was not running and is being started
  CannotStart,  // the editor could not be started
  Unsupported,  // no entry of the version table matches the editor's version
};

// Main thread only.
class TComposeService {
 public:
  virtual ~TComposeService() = default;
  // Connects the main thread's editor application and finds the first entry
  // of the version table whose Version begins the editor's trimmed version.
  // `versionIndex` is set on Ready, -1 otherwise.
  virtual TEditorCheck CheckEditor(int& versionIndex) = 0;
  // Runs one job on a worker thread and returns when it has ended or was
  // cancelled; meanwhile the progress window is shown (modal) with `info`
  // as its text. A cancelled job leaves no partial output behind.
  virtual TJobOutcome RunJob(const TComposeJob& job, const std::string& info) = 0;
  // The progress window's job counter "number/total" and its shutdown box.
  virtual void SetJobCounter(int total, int number) = 0;
  virtual void NextJob() = 0;
  virtual bool ShutdownChecked() const = 0;
  virtual void SetShutdownChecked(bool checked) = 0;
};

// Text with the characters up to and including blanks cut from both ends
// (control characters count as blanks).
std::string TrimCaption(const std::string& text);

// Default name of a single result: "<set number>_<set caption, trimmed>_
// <template number>_<template caption, trimmed>" + ".psd" or ".jpg".
// Numbers are 1-based row numbers.
std::string SingleResultFileName(int setNumber, const std::string& setCaption, int templateNumber,
                                 const std::string& templateCaption, bool psd);
// Folder of one set inside the batch output folder: "<set number>_<set
// caption>" (the caption not trimmed).
std::string BatchSetFolderName(int setNumber, const std::string& setCaption);
// A batch result file: "<set number>_<set caption, trimmed>_<template
// number>_" + LastPathPart(template folder) + SizeCaption(unit, height) +
// ".psd" or ".jpg".
std::string BatchResultFileName(int setNumber, const std::string& setCaption, int templateNumber,
                                const TTempNode& temp, bool psd);

}  // namespace tessaro
