'use strict';
// The message boxes of both pages, as the desktop's: a statement with OK, and a question whose
// default answer is No (Enter or Esc keeps things as they are).
const KetaDialogs = (() => {
  const $ = (id) => document.getElementById(id);

  function tell(title, text) {
    return new Promise((resolve) => {
      $('tellTitle').textContent = title;
      $('tellText').textContent = text;
      const dialog = $('tellDialog');
      $('tellOk').onclick = () => dialog.close();
      dialog.onclose = () => resolve();
      dialog.showModal();
      $('tellOk').focus();
    });
  }

  function ask(title, text) {
    return new Promise((resolve) => {
      $('askTitle').textContent = title;
      $('askText').textContent = text;
      const dialog = $('askDialog');
      let answer = false;
      $('askYes').onclick = () => { answer = true; dialog.close(); };
      $('askNo').onclick = () => dialog.close();
      dialog.onclose = () => resolve(answer);
      dialog.showModal();
      $('askNo').focus();
    });
  }

  return { tell, ask };
})();
