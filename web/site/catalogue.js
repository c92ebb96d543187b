"use strict";
// An archive's catalogue: the list is written into the page, so it shows and
// works without this script; this filters it by title as the reader types.
(() => {
  const search = document.getElementById("search");
  const count = document.getElementById("count");
  const none = document.getElementById("none");
  const list = document.getElementById("issues");
  const items = Array.from(list.children, (li) => [li, li.dataset.title.toLowerCase()]);
  function filter() {
    const words = search.value.toLowerCase().split(/\s+/).filter(Boolean);
    const shown = items.filter(([, title]) => words.every((word) => title.includes(word))).map(([li]) => li);
    // The items are put back rather than hidden: Chromium takes seconds to
    // hide ten thousand list items at once, and milliseconds to drop them.
    list.replaceChildren(...shown);
    count.textContent = shown.length + " 期";
    none.hidden = shown.length > 0;
  }
  search.addEventListener("input", filter);
  // Back may bring the page back with the reader's query still in the box.
  const refresh = () => {
    if (search.value || list.children.length !== items.length) filter();
  };
  window.addEventListener("pageshow", refresh);
  refresh();
})();
