// Reader of a Brox run's information file (line format: see README.md).
// For a run directory the file is its "gui-err.txt"; for a result file
// (".res", ".mres") it is the file itself. The reader sends what it reads to
// its observers, in file order. Not thread-safe; observers are not owned and
// must outlive every processNewLines() call.
#ifndef SOLVARIUM_QUENNET_XOQ_GUI_INFORMATION_READER_H_
#define SOLVARIUM_QUENNET_XOQ_GUI_INFORMATION_READER_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace xoq {

class GuiInformationObserver;

class GuiInformationReader {
 public:
  // `runPath` names a run directory when `isDirectory` is set, else a result
  // file. `sourceName` is the name used in error messages.
  GuiInformationReader(bool isDirectory, const std::string& runPath, const std::string& sourceName);

  void addObserver(GuiInformationObserver* observer);

  // Points the reader at another run (arguments as for the constructor),
  // from the start of its information file; the observers stay.
  void reopen(bool isDirectory, const std::string& runPath, const std::string& sourceName);

  // Reads the complete lines added to the information file since the last
  // call and notifies the observers. An unterminated last line is left for
  // the next call. Returns true when at least one line was read; a file that
  // cannot be opened or is not a regular file (a FIFO, say) gives false and
  // no notification. Throws Error when an
  // "error" line is read (the lines before it have been delivered).
  bool processNewLines();

  // Lines longer than this are skipped.
  static const std::size_t kMaxLineLength = 64 * 1024;
  // Name of the information file inside a run directory.
  static constexpr char kInformationFileName[] = "gui-err.txt";

 private:
  void processLine(std::string_view line);

  std::string informationFile_;
  std::string sourceName_;
  std::vector<GuiInformationObserver*> observers_;
  uint64_t offset_ = 0;  // bytes of the file already consumed
};

}  // namespace xoq

#endif  // SOLVARIUM_QUENNET_XOQ_GUI_INFORMATION_READER_H_
