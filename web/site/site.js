// The page of an exported issue: the Player's main window, loading window and
// secondary windows as elements of one page. The movies' commands are served
// by the Player's own command sets, compiled to WebAssembly (player-core.js);
// this script is their host: it does to the page what the Player does to its
// windows. Each movie runs in a frame of its own (frame.html with bridge.js),
// which reaches this page through playerSite.request.
//
// Nothing a movie sends is ever inserted as HTML, and every URL the page asks
// for is a file of this site that site.json lists.
"use strict";

(function () {
  const $ = (id) => document.getElementById(id);
  // How long the loading movie has to draw before the main movie starts anyway
  // (the Player's kLoadingHeadStartMs, which a test compares).
  const LOADING_HEAD_START_MS = 3000;
  const REGISTRY_KEY = "magazine-player:registry";
  const IMPORTED_KEY = "magazine-player:imported:";
  const REGISTRY_FILE = "/.player/magazine-player/registry.reg";

  // What has no equivalent in a browser: such commands answer as a cancel or a
  // failure does (the command sets decide how), and the page says so once.
  const DESKTOP_ONLY_CALLS = ["brivol_findfile", "brivol_opendialog", "brivol_openfolder", "brivol_extractfile"];
  const DESKTOP_ONLY_COMMANDS = ["copyfile", "writelog", "sendmails", "subscribe"];

  let site = null;
  let core = null;
  let coreIsReady = null;
  const coreReady = new Promise((resolve) => { coreIsReady = resolve; });
  const timeline = {};      // ms since navigation, by event: for tests and figures

  function mark(what) {
    if (!(what in timeline)) timeline[what] = performance.now();
  }

  // ---- Files of the issue --------------------------------------------------

  function fileUrl(name) {
    return "issue/" + name.split("/").map(encodeURIComponent).join("/");
  }

  // A path the movie names, as the Player would open it: inside the issue's
  // folder ("/issue\..."), or relative to it, found by the Player's own rule
  // (letter case ignored, either separator). Anything else lies on a reader's
  // disk that the page cannot reach: null.
  function issueName(path) {
    let p = String(path);
    if (/^[\\/]issue[\\/]/i.test(p)) p = p.slice(7);
    else if (/^([a-zA-Z]:)?[\\/]/.test(p)) return null;
    const name = withText(p, (t, n) => core.UTF16ToString(core._web_resolve_issue_path(t, n)));
    return name === "" ? null : name;
  }

  function issueUrl(path) {
    const name = issueName(path);
    return name === null ? null : fileUrl(name);
  }

  // What the movies' own loads ask of the site: a file of the issue by the name
  // the movie gives, found as issueName finds it; other URLs as they are.
  const issueBase = new URL("issue/", location.href);
  async function siteUrl(href) {
    const url = new URL(href);
    if (url.origin !== issueBase.origin || !url.pathname.startsWith(issueBase.pathname)) return href;
    await coreReady;
    const name = issueName(decodeURIComponent(url.pathname.slice(issueBase.pathname.length)));
    return name === null ? null : new URL(fileUrl(name), location.href).href + url.search;
  }

  // A link a movie opens: the web and mail in a new tab, a document of the
  // issue the same way, anything else nowhere, as in the Player.
  function openLink(href) {
    let url;
    try {
      url = new URL(href);
    } catch (e) {
      return;
    }
    const inside = url.origin === issueBase.origin && url.pathname.startsWith(issueBase.pathname);
    const name = inside ? issueName(decodeURIComponent(url.pathname.slice(issueBase.pathname.length))) : null;
    const scheme = inside ? "issue" : url.protocol.slice(0, -1);
    const kind = withText(scheme, (s, sn) => withText(name || "", (p, pn) => core._web_classify_link(s, sn, name ? 1 : 0, p, pn)));
    if (kind === 0) window.open(url.href, "_blank", "noopener");
    else if (kind === 1) window.open(fileUrl(name), "_blank", "noopener");
    else console.log("[link] refused " + url.href);
  }

  // ---- The command sets ------------------------------------------------------

  function withText(text, use) {
    const s = String(text);
    const p = core._malloc(s.length * 2 + 2);
    for (let i = 0; i < s.length; ++i) core.HEAPU16[(p >> 1) + i] = s.charCodeAt(i);
    core.HEAPU16[(p >> 1) + s.length] = 0;
    try {
      return use(p, s.length);
    } finally {
      core._free(p);
    }
  }

  function flashCall(xml) {
    return withText(xml, (p, n) => core.UTF16ToString(core._web_flash_call(p, n)));
  }

  function fsCommand(command, args) {
    withText(command, (c, cn) => withText(args, (a, an) => core._web_fs_command(c, cn, a, an)));
  }

  function progressCall(percent) {
    return core.UTF16ToString(core._web_progress_call(percent));
  }

  function encodeText(text, encoding) {
    return withText(text, (p, n) => {
      const size = core._malloc(4);
      try {
        const bytes = core._web_encode_text(p, n, encoding, size);
        return core.HEAPU8.slice(bytes, bytes + core.HEAP32[size >> 2]);
      } finally {
        core._free(size);
      }
    });
  }

  // ---- Registry values in the browser's storage -------------------------------

  function saveRegistry() {
    try {
      const bytes = core.FS.readFile(REGISTRY_FILE);
      let text = "";
      for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
      localStorage.setItem(REGISTRY_KEY, btoa(text));
    } catch (e) {
      console.warn("registry not saved: " + e);
    }
  }

  async function restoreRegistry() {
    const saved = localStorage.getItem(REGISTRY_KEY);
    if (saved) {
      const text = atob(saved);
      const bytes = new Uint8Array(text.length);
      for (let i = 0; i < text.length; ++i) bytes[i] = text.charCodeAt(i);
      core.FS.mkdirTree(REGISTRY_FILE.slice(0, REGISTRY_FILE.lastIndexOf("/")));
      core.FS.writeFile(REGISTRY_FILE, bytes);
    }
    // The issue's own keys, imported once: later values the movies write are kept.
    if (site.registry && !localStorage.getItem(IMPORTED_KEY + site.registry.id)) {
      const response = await fetch(site.registry.url);
      if (response.ok) {
        const bytes = new Uint8Array(await response.arrayBuffer());
        const p = core._malloc(bytes.length);
        core.HEAPU8.set(bytes, p);
        const ok = core._web_import_registry(p, bytes.length);
        core._free(p);
        if (ok) {
          saveRegistry();
          localStorage.setItem(IMPORTED_KEY + site.registry.id, "1");
        }
      }
    }
  }

  // ---- Windows ------------------------------------------------------------------

  // One movie in one frame, in a window element of this page.
  class MovieFrame {
    constructor(engineId, parent) {
      this.engineId = engineId;
      this.element = document.createElement("iframe");
      this.element.allow = "fullscreen";  // a movie's Stage.displayState
      this.element.title = engineId;
      this.ready = new Promise((resolve) => this.element.addEventListener("load", resolve, { once: true }));
      // An archive's issues share one copy of the page's files (site.assets).
      this.element.src = (site.assets || "") + "frame.html?engine=" + encodeURIComponent(engineId);
      parent.appendChild(this.element);
    }
    async run(use) {
      await this.ready;
      const host = this.element.contentWindow && this.element.contentWindow.playerHost;
      return host ? use(host) : undefined;
    }
    load(url) {
      if (!url) return this.run((h) => h.unload());
      const base = url.slice(0, url.lastIndexOf("/") + 1);
      const font = site.font ? { url: new URL(site.font.url, location.href).href, faces: site.font.faces } : null;
      // The engine's own WebGL renderer: its newer one, on a browser without
      // hardware acceleration, covers the movie with a notice at the first
      // hover, and the reader's first click goes to the notice.
      const options = { font, preferredRenderer: "webgl" };
      return this.run((h) => h.load(new URL(url, location.href).href, new URL(base, location.href).href, options));
    }
    // Synchronous: the frame is loaded whenever a movie can ask for this.
    call(xml) {
      const host = this.element.contentWindow && this.element.contentWindow.playerHost;
      return host ? host.call(xml) : undefined;
    }
    place(left, top, width, height) {
      Object.assign(this.element.style, { left: left + "px", top: top + "px", width: width + "px", height: height + "px" });
    }
  }

  const player = $("player");
  const strip = $("title-strip");
  const caption = $("caption");
  let mainFrame = null;
  let loadingFrame = null;
  let panels = [];
  const state = { width: 600, height: 500, titleHeight: 0, fullScreen: false };

  function setCaption(text) {
    caption.textContent = text;
    document.title = text || site.title || "";
    $("restore-button").textContent = document.title || "▣";
  }

  // A window of `width` x `height` centred in the page; on a screen smaller
  // than the window (a tablet, a phone) it is scaled down whole to fit.
  function centre(element, width, height) {
    const scale = Math.min(1, window.innerWidth / width, window.innerHeight / height);
    Object.assign(element.style, {
      left: Math.max(0, Math.floor((window.innerWidth - width * scale) / 2)) + "px",
      top: Math.max(0, Math.floor((window.innerHeight - height * scale) / 2)) + "px",
      width: width + "px",
      height: height + "px",
      transform: scale < 1 ? "scale(" + scale + ")" : "",
    });
  }

  function layOut() {
    const t = state.fullScreen ? 0 : state.titleHeight;
    if (state.fullScreen) {
      Object.assign(player.style, { left: "0px", top: "0px", width: "100%", height: "100%", transform: "" });
      mainFrame.place(0, 0, window.innerWidth, window.innerHeight);
    } else {
      centre(player, state.width, state.height);
      mainFrame.place(0, t, state.width, Math.max(0, state.height - t));
    }
    strip.style.height = t + "px";
    strip.style.lineHeight = t + "px";
    strip.hidden = t === 0;
    player.classList.toggle("full-screen", state.fullScreen);
  }

  function showPlayerWindow(fullScreen) {
    state.fullScreen = fullScreen;
    layOut();
    player.classList.remove("starting", "hidden", "minimised");
    $("restore-button").hidden = true;
  }

  // Hide, minimise, restore, as the Player's ShowWindow.
  function showWindow(command) {
    player.classList.toggle("hidden", command === 0);
    player.classList.toggle("minimised", command === 1);
    $("restore-button").hidden = command !== 1;
    if (command === 2) player.classList.remove("starting");
    updateTrayButton();
  }

  // The tray icon's place: one button that shows or hides the main window, as
  // the icon's menu does.
  function updateTrayButton() {
    const text = player.classList.contains("hidden") ? "显示主窗口" : "隐藏主窗口";
    $("tray-button").textContent = text;
    $("tray-button").title = text;
  }

  function openPanel(path, id, width, height, reuse) {
    let panel = panels[id];
    if (!reuse || !panel) {
      const element = document.createElement("div");
      element.className = "window panel";
      const bar = document.createElement("div");
      bar.className = "panel-bar";
      const close = document.createElement("button");
      close.className = "panel-close";
      close.type = "button";
      close.title = "关闭";
      close.textContent = "×";
      bar.appendChild(close);
      element.appendChild(bar);
      panel = { element, frame: new MovieFrame("panel" + id, element) };
      // The reader can only hide a secondary window; the movie closes it.
      close.addEventListener("click", () => element.classList.add("hidden"));
      dragBy(bar, element);
      $("desk").appendChild(element);
      panels[id] = panel;
      const origin = player.getBoundingClientRect();
      Object.assign(element.style, { left: origin.left + 30 + "px", top: origin.top + 40 + "px" });
    }
    Object.assign(panel.element.style, { width: width + "px", height: height + 22 + "px" });
    panel.frame.place(0, 22, width, height);
    panel.element.classList.remove("hidden");
    panel.frame.load(issueUrl(path));
    return 1;
  }

  function dragBy(handle, element) {
    handle.addEventListener("pointerdown", (down) => {
      if (down.target !== handle) return;
      const startX = down.clientX - element.offsetLeft;
      const startY = down.clientY - element.offsetTop;
      handle.setPointerCapture(down.pointerId);
      const move = (e) => Object.assign(element.style, { left: e.clientX - startX + "px", top: e.clientY - startY + "px" });
      handle.addEventListener("pointermove", move);
      handle.addEventListener("pointerup", () => handle.removeEventListener("pointermove", move), { once: true });
    });
  }

  function clearPanels() {
    for (const panel of panels) if (panel) panel.element.remove();
    panels = [];
  }

  // ---- Dialogs -------------------------------------------------------------------

  const messageQueue = [];
  function messageBox(text, title) {
    messageQueue.push([text, title]);
    const box = $("message-box");
    if (!box.open) nextMessage();
  }
  function nextMessage() {
    const next = messageQueue.shift();
    if (!next) return;
    $("message-text").textContent = next[0];
    $("message-caption").textContent = next[1] || site.title || document.title;
    $("message-box").showModal();
  }
  $("message-box").addEventListener("close", nextMessage);

  function saveText(text) {
    $("save-text-body").value = text || "Welcome!";
    $("save-text").showModal();
  }
  $("save-text").addEventListener("close", () => {
    if ($("save-text").returnValue !== "save") return;
    const bytes = encodeText($("save-text-body").value, Number($("save-text-encoding").value));
    let name = $("save-text-name").value.trim() || "文本.txt";
    if (!/\.[^./\\]+$/.test(name)) name += ".txt";
    const link = document.createElement("a");
    link.href = URL.createObjectURL(new Blob([bytes], { type: "application/octet-stream" }));
    link.download = name;
    document.body.appendChild(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(link.href), 60000);
  });

  let noticeShown = false;
  function desktopOnly() {
    if (noticeShown) return;
    noticeShown = true;
    const notice = $("notice");
    notice.textContent = "此功能需要桌面版杂志播放器。 This feature needs the desktop Player.";
    notice.hidden = false;
    setTimeout(() => { notice.hidden = true; }, 8000);
  }

  // ---- The host of the command sets -----------------------------------------------

  let inFsCommand = false;
  let queued = [];

  function quit() {
    clearPanels();
    for (const f of [mainFrame, loadingFrame]) if (f) f.element.remove();
    $("desk").hidden = true;
    $("taskbar").hidden = true;
    $("closed").hidden = false;
    document.title = site.title || "";
    mark("quit");
  }

  const pageCalls = {
    showPlayerWindow: (t, [full]) => showPlayerWindow(full === 1),
    showWindow: (t, [command]) => showWindow(command),
    moveWindow: (t, [width, height]) => {
      state.width = width;
      state.height = height;
      state.fullScreen = false;
      layOut();
      Object.assign(player.style, { left: "0px", top: "0px" });  // where the Player puts it
    },
    setCaption: ([text]) => setCaption(text),
    setAlpha: (t, [alpha]) => { player.style.opacity = String(alpha / 255); },
    trayIcon: (t, [shown]) => {
      $("tray-button").hidden = shown !== 1;
      updateTrayButton();
    },
    applyWindowConfig: () => {
      mark("start");
      state.width = site.width;
      state.height = site.height;
      state.titleHeight = site.titleHeight;
      setCaption(site.title);
      showPlayerWindow(site.fullScreen);
    },
    destroyLoadingWindow: () => {
      if (loadingFrame) loadingFrame.element.remove();
      $("loading").hidden = true;
      loadingFrame = null;
    },
    quit: () => setTimeout(quit, 0),
    callFunction: ([xml]) => {
      // A movie that is running an FSCommand gets the calls once its script returns.
      if (inFsCommand) queued.push(xml);
      else mainFrame.call(xml);
    },
    stopMovie: () => mainFrame.run((h) => h.stop()),
    setMovie: ([path]) => {
      mark("movie set");
      mainFrame.load(issueUrl(path));
    },
    playMovie: () => mainFrame.run((h) => h.play()),
    saveText: ([text]) => saveText(text),
    openPanel: ([path], [id, width, height]) => openPanel(path, id, width, height, false),
    reusePanel: ([path], [id, width, height]) => openPanel(path, id, width, height, true),
    clearPanels: () => clearPanels(),
    messageBox: ([text, title]) => messageBox(text, title),
    registryChanged: () => saveRegistry(),
  };

  function callFromCore(name, texts, numbers) {
    const call = pageCalls[name];
    return call ? call(texts, numbers) | 0 : 0;
  }

  let loadingSettled = null;
  const engines = {
    main: {
      flashcall(data) {
        const name = /<invoke\s+name="([^"]*)"/.exec(data);
        if (name && DESKTOP_ONLY_CALLS.includes(name[1])) desktopOnly();
        const value = flashCall(data);
        return { op: "return", value: value === "" ? null : value };
      },
      fscommand(data) {
        const [command, args] = JSON.parse(data);
        if (DESKTOP_ONLY_COMMANDS.includes(String(command).toLowerCase())) desktopOnly();
        inFsCommand = true;
        try {
          fsCommand(command, args);
        } finally {
          inFsCommand = false;
        }
        return { op: "return", queued: queued.splice(0) };
      },
      drawn() { mark("main drawn"); },
    },
    loading: {
      drawn() { mark("loading drawn"); if (loadingSettled) loadingSettled(); },
      moviefailed() { if (loadingSettled) loadingSettled(); },
    },
  };

  window.playerSite = {
    // A frame's request (bridge.js): the same kinds the Player's scheme serves.
    request(engineId, kind, data) {
      const engine = engines[engineId];
      const handler = engine && engine[kind];
      const answer = handler ? handler(data) : undefined;
      return answer || { op: "return" };
    },
    siteUrl,
    openLink,
    timeline,
    progress: 0,  // of the main movie's download, while the loading movie shows it
  };

  // ---- Start-up --------------------------------------------------------------------

  // Fetches the main movie while the loading movie shows how far it got; the
  // main movie then comes from the browser's cache.
  async function fetchWithProgress(url, size, report) {
    const response = await fetch(url);
    if (!response.ok || !response.body) return;
    const reader = response.body.getReader();
    let received = 0;
    let reported = -1;
    for (;;) {
      const { done, value } = await reader.read();
      if (done) break;
      received += value.length;
      const percent = size ? Math.min(100, Math.floor((received * 100) / size)) : 100;
      if (percent !== reported) {
        reported = percent;
        report(percent);
      }
    }
    report(100);
  }

  async function start() {
    site = await (await fetch("site.json")).json();
    document.title = site.title || "";
    strip.style.backgroundImage = "url(" + JSON.stringify(site.titleBitmap) + ")";
    mainFrame = new MovieFrame("main", player);
    if (site.loading) {
      const loading = $("loading");
      centre(loading, site.loading.width, site.loading.height);
      loadingFrame = new MovieFrame("loading", loading);
      loadingFrame.place(0, 0, site.loading.width, site.loading.height);
      loading.hidden = false;
      loadingFrame.load(fileUrl(site.loading.movie));
      // The main movie's engine starts beside the loading movie's, so that it
      // is ready when the loading movie has had its turn; the movie itself is
      // held until then.
      mainFrame.run((h) => h.hold(true));
      mainFrame.load(fileUrl(site.mainMovie));
    }
    core = await PlayerCore({ playerHost: { call: callFromCore } });
    withText(site.title, (p, n) => core._web_start(p, n, site.titleHeight, site.width, site.height));
    withText(Object.keys(site.files).join("\n"), (p, n) => core._web_set_issue_files(p, n));
    coreIsReady();
    await restoreRegistry();
    mark("core ready");

    const mainUrl = fileUrl(site.mainMovie);
    if (loadingFrame) {
      const drawn = new Promise((resolve) => { loadingSettled = resolve; });
      await fetchWithProgress(mainUrl, site.files[site.mainMovie], (percent) => {
        window.playerSite.progress = percent;
        if (loadingFrame) loadingFrame.call(progressCall(percent));
      });
      await Promise.race([drawn, new Promise((resolve) => setTimeout(resolve, LOADING_HEAD_START_MS))]);
      mark("main movie");
      mainFrame.run((h) => h.hold(false));
    } else {
      mark("main movie");
      mainFrame.load(mainUrl);
    }
  }

  $("tray-button").addEventListener("click", () => showWindow(player.classList.contains("hidden") ? 2 : 0));
  $("restore-button").addEventListener("click", () => showWindow(2));
  $("reopen").addEventListener("click", () => location.reload());
  window.addEventListener("resize", () => { if (mainFrame && !player.classList.contains("starting")) layOut(); });
  start().catch((e) => {
    console.error(e);
    messageBox("本期杂志无法打开：" + e, "");
  });
})();
