// The look the page wears: the kept "theme" preference made into one of the
// three looks the style sheets know (data-sw-look="green" | "dark" |
// "contrast" on the root element; res/themes.css). "system", the theme of a
// user who has not chosen, follows the system's wishes as they change: more
// contrast gives the light high-contrast look, a dark colour scheme the
// dark one, anything else the green. The card meaning window's own
// document (same origin) wears the same look: its root gets the same
// attribute whenever the look changes and whenever the frame loads its page.
export const LOOKS = ['green', 'dark', 'contrast'];

// theme: the kept preference (undefined before the program has sent it);
// system: what the system asks for, { dark, moreContrast }.
export function resolveLook(theme, system) {
  if (LOOKS.includes(theme)) return theme;
  if (system.moreContrast) return 'contrast';
  return system.dark ? 'dark' : 'green';
}

let theme;
let wear = () => {};

export function setUpLook(frame) {
  const dark = window.matchMedia('(prefers-color-scheme: dark)');
  const moreContrast = window.matchMedia('(prefers-contrast: more)');
  wear = () => {
    const look = resolveLook(theme, { dark: dark.matches, moreContrast: moreContrast.matches });
    document.documentElement.dataset.swLook = look;
    const inFrame = frame.contentDocument && frame.contentDocument.documentElement;
    if (inFrame) inFrame.dataset.swLook = look;
  };
  wear();
  dark.addEventListener('change', wear);
  moreContrast.addEventListener('change', wear);
  frame.addEventListener('load', wear);
}

// The kept theme, whenever the program sends the preferences.
export function setTheme(name) {
  theme = name;
  wear();
}
