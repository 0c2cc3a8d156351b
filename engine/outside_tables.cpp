#include "engine/outside_tables.h"

namespace engine {

void forEachBlockOutsideTables(word::Document& doc, const std::function<void(word::Range&)>& work) {
  word::Paragraphs paras = doc.paragraphs();
  for (int i = paras.count(); i > 0; --i) {
    word::Paragraph last = paras.item(i);
    if (last.inTable())
      continue;
    const int64_t end = last.range().end();
    while (i > 1 && !paras.item(i - 1).inTable())
      --i;
    word::Range block = doc.range(paras.item(i).range().start(), end);
    work(block);
  }
}

} // namespace engine
