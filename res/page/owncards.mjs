// The page of a reading of one's own cards (owncards/ in the program): the
// letters typed in #ownfind narrow the deck's list #owncard to the cards
// whose names match, the best match chosen, so the keyboard alone finds a
// card in a few letters; Enter in either places it (a click on #ownplace).
// Each new step page starts with the focus in #ownfind. The program decides
// everything else: which cards the list holds, what placing means.

// Numbers typed for the minor arcana's names.
const NUMBER_WORDS = {
  1: 'ace', 2: 'two', 3: 'three', 4: 'four', 5: 'five', 6: 'six', 7: 'seven', 8: 'eight', 9: 'nine', 10: 'ten',
};

export function words(text) {
  return String(text).toLowerCase().split(/[^\p{L}\p{N}]+/u).filter((word) => word.length > 0)
    .map((word) => NUMBER_WORDS[word] || word);
}

// How well a name matches the typed words: 0 when it begins with them (a
// leading "the" aside), 1 when each begins a word of the name, in order,
// 2 when the typed letters stand anywhere in it; -1 when it does not match.
function score(name, typed) {
  const named = words(name);
  const bare = named[0] === 'the' && typed[0] !== 'the' ? named.slice(1) : named;
  if (typed.every((word, i) => i < bare.length && (i === typed.length - 1 ? bare[i].startsWith(word) : bare[i] === word))) {
    return 0;
  }
  let at = 0;
  const inOrder = typed.every((word) => {
    while (at < named.length && !named[at].startsWith(word)) at++;
    if (at === named.length) return false;
    at++;
    return true;
  });
  if (inOrder) return 1;
  return named.join('').includes(typed.join('')) ? 2 : -1;
}

// The indices of the names that match what was typed, best first (in the
// deck's order among equals); every index when nothing is typed.
export function matchCards(names, typedText) {
  const typed = words(typedText);
  const indices = names.map((_, index) => index);
  if (typed.length === 0) return indices;
  const scores = names.map((name) => score(name, typed));
  return indices.filter((index) => scores[index] >= 0).sort((a, b) => scores[a] - scores[b] || a - b);
}

function narrow(list, typedText, status) {
  const options = Array.from(list.options);
  const matches = matchCards(options.map((option) => option.textContent), typedText);
  const shown = new Set(matches);
  options.forEach((option, index) => { option.hidden = !shown.has(index); });
  if (matches.length > 0) list.value = options[matches[0]].value;
  else list.selectedIndex = -1;
  if (status) {
    status.textContent = matches.length === 0 ? 'No card matches'
      : matches.length === 1 ? options[matches[0]].textContent : `${matches.length} cards match`;
  }
}

export function setUpOwnCards(fileList, status) {
  fileList.addEventListener('input', (event) => {
    if (event.target.id !== 'ownfind') return;
    const list = fileList.querySelector('#owncard');
    if (list) narrow(list, event.target.value, status);
  });
  fileList.addEventListener('keydown', (event) => {
    if (event.key !== 'Enter' || event.altKey || event.ctrlKey || event.metaKey) return;
    if (event.target.id !== 'ownfind' && event.target.id !== 'owncard') return;
    const place = fileList.querySelector('#ownplace');
    if (!place) return;
    event.preventDefault();
    if (!event.repeat) place.click();
  });
}

// After a step page is written and the focus placed: typing goes on where
// the next card is named.
export function focusOwnCards(fileList) {
  const find = fileList.querySelector('#ownfind');
  if (find && document.activeElement !== find) find.focus();
}
