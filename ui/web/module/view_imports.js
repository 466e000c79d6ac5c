// The view's six operations, imported by the module. They hand over to the
// functions the page passes in as `view` when it creates the module.
mergeInto(LibraryManager.library, {
  bemvara_view_text_length: function (name, nameLength) {
    return lengthBytesUTF8(Module['view']['text'](UTF8ToString(name, nameLength)));
  },
  // `into` has room for `length` bytes and the terminating zero after them.
  bemvara_view_text_copy: function (name, nameLength, into, length) {
    stringToUTF8(Module['view']['text'](UTF8ToString(name, nameLength)), into, length + 1);
  },
  bemvara_view_set_text: function (name, nameLength, text, textLength, said, saidLength) {
    Module['view']['setText'](UTF8ToString(name, nameLength), UTF8ToString(text, textLength),
                              UTF8ToString(said, saidLength));
  },
  bemvara_view_show_message: function (text, textLength) {
    Module['view']['showMessage'](UTF8ToString(text, textLength));
  },
  bemvara_view_focus_selected: function (name, nameLength) {
    Module['view']['focusSelected'](UTF8ToString(name, nameLength));
  },
  bemvara_view_copy_to_clipboard: function (plain, plainLength, html, htmlLength) {
    Module['view']['copyToClipboard'](UTF8ToString(plain, plainLength), UTF8ToString(html, htmlLength));
  },
  bemvara_view_end_program: function () {
    Module['view']['endProgram']();
  },
});
