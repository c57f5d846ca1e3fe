// Short notices that ask for nothing ("Notes saved"): shown for a few
// seconds at the foot of the window, read out by screen readers, and never
// taking the focus. The program's own notifications stay modal
// (notification.mjs).
const SHOWN_FOR = 4000;
let timer = 0;

export function showNotice(text) {
  const notice = document.getElementById('sw-notice');
  notice.textContent = text;
  notice.hidden = false;
  clearTimeout(timer);
  timer = setTimeout(() => { notice.hidden = true; }, SHOWN_FOR);
}
