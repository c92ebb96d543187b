"use strict";
// An archive's catalogue: the list is written into the page, so it shows and
// works without this script; this filters it by title as the reader types.
(() => {
  const search = document.getElementById("search");
  const count = document.getElementById("count");
  const none = document.getElementById("none");
  const items = Array.from(document.querySelectorAll("#issues > li"), (li) => [li, li.dataset.title.toLowerCase()]);
  function filter() {
    const words = search.value.toLowerCase().split(/\s+/).filter(Boolean);
    let shown = 0;
    for (const [li, title] of items) {
      const match = words.every((word) => title.includes(word));
      if (li.hidden === match) li.hidden = !match;
      if (match) ++shown;
    }
    count.textContent = shown + " 期";
    none.hidden = shown > 0;
  }
  search.addEventListener("input", filter);
  // Back brings the page back with the reader's query still in the box.
  window.addEventListener("pageshow", filter);
  if (search.value) filter();
})();
