'use strict';
// The number pad of both pages: keys 1–9 and 0 under the row, shown on touch screens only,
// where the boxes then keep the system keyboard closed so that it never covers the digits.
const KetaPad = (() => {
  // A key goes to the box with the focus, else to fallbackBox(); type(box, key) forwards it.
  function build(pad, boxes, fallbackBox, type) {
    for (const key of ['1', '2', '3', '4', '5', '6', '7', '8', '9', '0']) {
      const button = document.createElement('button');
      button.type = 'button';
      button.textContent = key;
      button.setAttribute('aria-label', key);
      // Keeps the focus in the box: the pad types where the person is.
      button.addEventListener('pointerdown', (e) => e.preventDefault());
      button.addEventListener('click', () => {
        const active = boxes.indexOf(document.activeElement);
        const target = active >= 0 ? active + 1 : fallbackBox();
        if (target >= 1) type(target, key);
      });
      pad.appendChild(button);
    }
    const touch = window.matchMedia('(pointer: coarse)');
    const apply = () => {
      pad.hidden = !touch.matches;
      for (const box of boxes) box.setAttribute('inputmode', touch.matches ? 'none' : 'numeric');
    };
    touch.addEventListener('change', apply);
    apply();
  }

  return { build };
})();
