// The view's four operations, imported by the module. They hand over to the
// functions the page passes in as `view` when it creates the module.
mergeInto(LibraryManager.library, {
  bemvara_view_text__deps: ['malloc'],
  bemvara_view_text: function (name, nameLength) {
    var text = Module['view']['text'](UTF8ToString(name, nameLength));
    var size = lengthBytesUTF8(text) + 1;
    var copy = _malloc(size);
    if (copy) stringToUTF8(text, copy, size);
    return copy;
  },
  bemvara_view_set_text: function (name, nameLength, text, textLength) {
    Module['view']['setText'](UTF8ToString(name, nameLength), UTF8ToString(text, textLength));
  },
  bemvara_view_show_message: function (text, textLength) {
    Module['view']['showMessage'](UTF8ToString(text, textLength));
  },
  bemvara_view_end_program: function () {
    Module['view']['endProgram']();
  },
  // The page's way to the description's double-click rule: the run of
  // `text` that a double-click at UTF-16 index `at` selects, [first, last).
  bemvara_view_end_program__deps: ['malloc', 'free'],
  bemvara_view_end_program__postset:
    "Module['doubleClickRun'] = function (text, at) {" +
    "  var bytes = 2 * text.length + 12, memory = _malloc(bytes), range = memory + 2 * text.length + (text.length & 1 ? 2 : 0);" +
    "  if (!memory) return [0, text.length];" +
    "  for (var i = 0; i < text.length; i++) HEAPU16[(memory >> 1) + i] = text.charCodeAt(i);" +
    "  _bemvara_double_click_run(memory, text.length, at, range);" +
    "  var run = [HEAPU32[range >> 2], HEAPU32[(range >> 2) + 1]];" +
    "  _free(memory);" +
    "  return run;" +
    "};",
});
