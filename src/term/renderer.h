// How drawing requests reach the terminal: one interface with two streams.
// The full stream sends each request's own sequences as it is made; the
// changes stream records what each request does and, at a flush, sends only
// the cells, moves and attribute changes that differ from what the terminal
// shows.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "term/screen_diff.h"

namespace corvix {

class TOutputLinux;

class TRenderer {
 public:
  virtual ~TRenderer() = default;

  // Each request appends to Out the bytes to send now (the changes stream
  // mostly appends nothing and sends at Flush).
  virtual void SetAttr(std::uint8_t From, std::uint8_t To, std::string& Out) = 0;
  virtual void MoveTo(std::uint8_t X, std::uint8_t Y, std::string& Out) = 0;
  // A byte written at the cursor in Attr, control bytes included.
  virtual void WriteChar(char Ch, std::uint8_t Attr, std::string& Out) = 0;
  // A cell of an image redrawn at the cursor: no control byte acts.
  virtual void PutCell(char Ch, std::uint8_t Attr, std::string& Out) = 0;
  virtual void ClearScreen(std::uint8_t Attr, std::string& Out) = 0;
  // Row Y of a scroll window (any value: the terminal takes its nearest row).
  virtual void ClearRow(int Y, std::uint8_t Attr, std::string& Out) = 0;
  virtual void ClearToEol(std::uint8_t Attr, std::string& Out) = 0;
  virtual void SetRegion(std::uint8_t Top, std::uint8_t Bot, std::string& Out) = 0;
  // A flush: what is still to send, leaving the pen at Attr.
  virtual void Flush(std::uint8_t Attr, std::string& Out) = 0;
  // Bytes went to the terminal past the renderer: its cursor and pen are unknown.
  virtual void ForgetPen() = 0;
  // Something else may have drawn on the terminal: the next flush of the
  // changes stream draws the whole image. Nothing for the full stream.
  virtual void ForgetScreen() = 0;
  // Draws the whole image again, now (full) or at the next flush (changes).
  virtual void Repaint(std::string& Out) = 0;
  // The changes stream on a terminal of fewer than 25 rows: image rows
  // First..WindowBot on its first rows, row 25 on its last; the next flush
  // draws what that changes. Nothing for the full stream, which needs 25 rows.
  virtual void ShowRows(std::uint8_t First, std::uint8_t WindowBot) = 0;
};

// The full stream, as every request has always sent it.
std::unique_ptr<TRenderer> MakeFullRenderer(const TOutputLinux& screen);
// The changes stream, showing image rows from FirstRow on (see ShowRows).
std::unique_ptr<TRenderer> MakeChangesRenderer(const TOutputLinux& screen, std::uint8_t firstRow);

}  // namespace corvix
