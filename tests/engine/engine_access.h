#pragma once
// Test access to the engine's private steps and state. clsDoc befriends engine::EngineAccess;
// this is its one definition for the whole test program: every engine test includes this
// header instead of defining the struct itself.

#include <memory>

#include "engine/clsdoc.h"

namespace engine {

struct EngineAccess {
  // The steps, one forwarder each.
  static void clearFormatting(clsDoc& e) { e.clearFormatting(); }
  static void cleanText(clsDoc& e) { e.cleanText(); }
  static void fixPunctuation(clsDoc& e) { e.fixPunctuation(); }
  static void indentParagraphs(clsDoc& e) { e.indentParagraphs(); }
  static void formatSignature(clsDoc& e) { e.formatSignature(); }
  static void setupPage(clsDoc& e) { e.setupPage(); }
  static void formatParagraphs(clsDoc& e) { e.formatParagraphs(); }
  static void applyFonts(clsDoc& e) { e.applyFonts(); }
  static void setHeaderFooter(clsDoc& e) { e.setHeaderFooter(); }
  static void setColumns(clsDoc& e) { e.setColumns(); }
  static void applyWatermark(clsDoc& e) { e.applyWatermark(); }
  static void applyHeaderRule(clsDoc& e) { e.applyHeaderRule(); }
  static void formatArticleHeadings(clsDoc& e) { e.formatArticleHeadings(); }
  static void formatNumberedHeadings(clsDoc& e) { e.formatNumberedHeadings(); }
  static void saveOutput(clsDoc& e) { e.saveOutput(); }
  static void changeFontSizes(clsDoc& e) { e.changeFontSizes(); }
  static void checkIntegrity(clsDoc& e, const Census& source, const std::string& runMode) {
    e.checkIntegrity(source, runMode);
  }

  // The engine's Word instance.
  static word::Application& app(clsDoc& e) { return e.WordApp; }
  // Makes `doc` the engine's active document (as the run does after opening a file).
  static word::Document& adopt(clsDoc& e, std::unique_ptr<word::Document> doc) {
    return e.WordApp.adopt(std::move(doc));
  }
};

} // namespace engine
