// The page side of the Flash control. The host drives this page through
// playerHost; the movie reaches the host through synchronous requests,
// answered before the movie continues. In the Player the host is the program,
// reached through the player: scheme; in an exported web site it is the page
// around this frame (site.js), reached by a plain call.
"use strict";

(function () {
  // The protocol with the host, as bridge/bridge_protocol.h describes it; a test
  // holds the two to the same values.
  const PROTOCOL = {
    callUrl: "player://app/call",
    storageUrl: "player://app/storage",
    kindFlashCall: "flashcall",
    kindFsCommand: "fscommand",
    kindCallResult: "callresult",
    kindDrawn: "drawn",
    kindMovieFailed: "moviefailed",
    opReturn: "return",
    opCall: "call",
    hiddenFrameMs: 40,
  };

  const params = new URLSearchParams(location.search);
  const engineId = params.get("engine") || "0";
  const siteHost = window.parent !== window && window.parent.playerSite ? window.parent.playerSite : null;

  // How every movie is played, in the Player and on the web: as the Flash
  // control played it (scaled to its window, no engine menus or overlays).
  const ENGINE_CONFIG = {
    allowScriptAccess: true,
    allowNetworking: "all",
    allowFullscreen: true,
    autoplay: "on",
    splashScreen: false,
    unmuteOverlay: "hidden",
    contextMenu: "off",
    letterbox: "off",
    scale: "showAll",
    backgroundColor: null,
    warnOnUnsupportedContent: false,
    showSwfDownload: false,
    polyfills: false,
    logLevel: "warn",
  };

  // The engine serves device text only from the fonts it is given, by the
  // names it registers them under; the CJK face comes first in every list.
  function engineConfig(options) {
    const config = Object.assign({}, ENGINE_CONFIG);
    if (options.maxExecutionDuration) config.maxExecutionDuration = options.maxExecutionDuration;
    if (options.preferredRenderer) config.preferredRenderer = options.preferredRenderer;
    const font = options.font;
    if (font && font.faces && font.faces.length) {
      const sans = font.faces[0];
      const mono = font.faces.length > 1 ? font.faces[1] : sans;
      config.fontSources = [font.url];
      config.defaultFonts = {
        sans: [sans], serif: [sans], typewriter: [mono],
        japaneseGothic: [sans], japaneseMincho: [sans], japaneseGothicMono: [mono],
      };
    }
    return config;
  }

  // ---- Values <-> the control's XML ---------------------------------------

  function escapeXml(s) {
    return String(s).replace(/&/g, "&amp;").replace(/</g, "&lt;").replace(/>/g, "&gt;")
      .replace(/"/g, "&quot;").replace(/'/g, "&apos;");
  }

  function toXml(v) {
    if (v === undefined) return "<undefined/>";
    if (v === null) return "<null/>";
    if (v === true) return "<true/>";
    if (v === false) return "<false/>";
    if (typeof v === "number") return "<number>" + String(v) + "</number>";
    if (typeof v === "string") return "<string>" + escapeXml(v) + "</string>";
    if (Array.isArray(v)) {
      return "<array>" + v.map((x, i) => '<property id="' + i + '">' + toXml(x) + "</property>").join("") + "</array>";
    }
    if (typeof v === "object") {
      return "<object>" + Object.keys(v).map((k) => '<property id="' + escapeXml(k) + '">' + toXml(v[k]) +
        "</property>").join("") + "</object>";
    }
    return "<undefined/>";
  }

  function invokeXml(name, args) {
    return '<invoke name="' + escapeXml(name) + '" returntype="xml"><arguments>' +
      args.map(toXml).join("") + "</arguments></invoke>";
  }

  function unescapeXml(s) {
    return s.replace(/&(lt|gt|quot|apos|amp);/g, (m, e) => ({ lt: "<", gt: ">", quot: '"', apos: "'", amp: "&" })[e]);
  }

  // The host formats its texts without escaping, so a string may hold "<" or "&"
  // of its own: a string's text runs to the next "</string>" and is taken as it is.
  function parseValue(text, pos) {
    const rest = text.slice(pos);
    const simple = /^\s*<(true|false|null|undefined)\s*\/>/.exec(rest);
    if (simple) {
      const v = { true: true, false: false, null: null, undefined: undefined }[simple[1]];
      return [v, pos + simple[0].length];
    }
    let m = /^\s*<string\s*\/>/.exec(rest);
    if (m) return ["", pos + m[0].length];
    m = /^\s*<string>/.exec(rest);
    if (m) {
      const start = pos + m[0].length;
      const end = text.indexOf("</string>", start);
      if (end < 0) return [text.slice(start), text.length];
      return [text.slice(start, end), end + 9];
    }
    m = /^\s*<number>([^<]*)<\/number>/.exec(rest);
    if (m) return [Number(m[1]), pos + m[0].length];
    m = /^\s*<(array|object)>/.exec(rest);
    if (m) {
      const isArray = m[1] === "array";
      const out = isArray ? [] : {};
      pos += m[0].length;
      for (;;) {
        const close = new RegExp("^\\s*</" + m[1] + ">").exec(text.slice(pos));
        if (close) return [out, pos + close[0].length];
        const prop = /^\s*<property id="([^"]*)">/.exec(text.slice(pos));
        if (!prop) return [out, text.length];
        const [v, next] = parseValue(text, pos + prop[0].length);
        const end = /^\s*<\/property>/.exec(text.slice(next));
        pos = next + (end ? end[0].length : 0);
        if (isArray) out[Number(prop[1])] = v; else out[unescapeXml(prop[1])] = v;
      }
    }
    return [undefined, text.length];
  }

  function parseInvoke(xml) {
    const name = /<invoke\s+name="([^"]*)"/.exec(xml);
    const args = [];
    const open = xml.indexOf("<arguments>");
    if (open >= 0) {
      let pos = open + 11;
      while (pos < xml.length && !/^\s*<\/arguments>/.test(xml.slice(pos))) {
        const before = pos;
        const [v, next] = parseValue(xml, pos);
        if (next <= before) break;
        args.push(v);
        pos = next;
      }
    }
    return { name: name ? unescapeXml(name[1]) : "", args };
  }

  // ---- Synchronous requests to the host -----------------------------------

  function request(kind, data) {
    if (siteHost) return siteHost.request(engineId, kind, data);
    const xhr = new XMLHttpRequest();
    xhr.open("GET", PROTOCOL.callUrl + "?engine=" + engineId + "&kind=" + kind + "&data=" + encodeURIComponent(data), false);
    try {
      xhr.send();
    } catch (e) {
      return { op: PROTOCOL.opReturn };
    }
    try {
      return JSON.parse(xhr.responseText);
    } catch (e) {
      return { op: PROTOCOL.opReturn };
    }
  }

  // Sends a request and serves the host's calls into the movie until the host
  // gives its final answer.
  function hostCall(kind, data) {
    let answer = request(kind, data);
    while (answer.op === PROTOCOL.opCall) {
      answer = request(PROTOCOL.kindCallResult, callMovie(answer.xml));
    }
    for (const xml of answer.queued || []) setTimeout(() => callMovie(xml), 0);
    return answer;
  }

  let player = null;

  // A movie held has its engine instance made (the costly part of a start) but
  // is not fetched, so none of it runs until it is let go.
  let movieUrl = "";
  let heldMovie = null;  // {gate, open} while held

  function callMovie(xml) {
    const call = parseInvoke(xml);
    if (!player) return "<undefined/>";
    try {
      return toXml(player.ruffle().callExternalInterface(call.name, ...call.args));
    } catch (e) {
      return "<undefined/>";
    }
  }

  function flashCall(name, args) {
    const answer = hostCall(PROTOCOL.kindFlashCall, invokeXml(name, args));
    return answer.value === undefined || answer.value === null ? undefined : parseValue(answer.value, 0)[0];
  }

  // The commands the host knows get functions of their own; any other name
  // reaches the host through the same path (below), where it is ignored.
  const hostCommands = [
    "brivol_openexe", "brivol_quit", "brivol_hidewindow", "brivol_showwindow", "brivol_minimize",
    "brivol_restore", "brivol_windowcaption", "brivol_windowsize", "brivol_alert", "brivol_systray",
    "brivol_windowalpha", "brivol_fileexists", "brivol_folderexists", "brivol_findfile",
    "brivol_opendialog", "brivol_openfolder", "brivol_savetextfile", "brivol_openflashwindow",
    "brivol_openiewindow", "brivol_extractfile", "brivol_clearallwindow", "brivol_callfunction",
  ];
  for (const name of hostCommands) window[name] = (...args) => flashCall(name, args);

  // The engine evaluates ExternalInterface.call's name as an expression through
  // Function("return (NAME)(...arguments);"). Every name is the host's, as it was
  // for the original control: such functions are made to forward to the host.
  const NativeFunction = window.Function;
  const callPattern = /^return \((.*)\)\(\.\.\.arguments\);$/s;
  function forwarder(body) {
    const m = typeof body === "string" ? callPattern.exec(body) : null;
    if (!m) return null;
    const name = m[1];
    if (hostCommands.includes(name)) return window[name];
    return (...args) => flashCall(name, args);
  }
  window.Function = new Proxy(NativeFunction, {
    construct(target, args) {
      return (args.length === 1 && forwarder(args[0])) || Reflect.construct(target, args);
    },
    apply(target, self, args) {
      return (args.length === 1 && forwarder(args[0])) || Reflect.apply(target, self, args);
    },
  });

  // ---- Frames while the window is hidden ----------------------------------
  // The movie engine advances on animation frames, and a view that is hidden
  // (a Player in the tray) draws none, so none come. Every frame asked for also
  // gets a timer: whichever comes first runs it, and a hidden movie runs on
  // timers at its own pace (the host keeps the page counted as visible, so the
  // timers are not throttled).

  const nativeFrame = window.requestAnimationFrame.bind(window);
  const nativeCancelFrame = window.cancelAnimationFrame.bind(window);
  const frames = new Map();
  let nextFrame = 1;
  function dropFrame(id) {
    const f = frames.get(id);
    if (!f) return false;
    frames.delete(id);
    nativeCancelFrame(f.frame);
    clearTimeout(f.timer);
    return true;
  }
  window.requestAnimationFrame = (callback) => {
    const id = nextFrame++;
    const run = (time) => {
      if (!dropFrame(id)) return;
      callback(time);
      noteDrawnSize();
    };
    frames.set(id, { frame: nativeFrame(run), timer: setTimeout(() => run(performance.now()), PROTOCOL.hiddenFrameMs) });
    return id;
  };
  window.cancelAnimationFrame = (id) => { dropFrame(id); };

  // The size of the canvas when a frame last ran: the engine draws in its
  // frames, so a picture of that size shows the movie as laid out now.
  let drawnSize = "";
  function movieCanvas() {
    return player && player.shadowRoot ? player.shadowRoot.querySelector("canvas") : null;
  }
  function noteDrawnSize() {
    const canvas = movieCanvas();
    if (canvas) drawnSize = canvas.width + "x" + canvas.height;
  }

  // The page of a window that is not on the screen keeps the size it had when
  // made (a small one), whatever the window's size: the stage is then given
  // the window's size itself, until the page has it.
  function layOutAt(width, height) {
    if (window.innerWidth === width && window.innerHeight === height) return;
    const stage = document.getElementById("stage");
    stage.style.width = width + "px";
    stage.style.height = height + "px";
  }
  window.addEventListener("resize", () => {
    const stage = document.getElementById("stage");
    if (stage && window.innerWidth + "px" === stage.style.width &&
        window.innerHeight + "px" === stage.style.height) {
      stage.style.width = stage.style.height = "";
    }
  });

  // ---- fetch over XMLHttpRequest ------------------------------------------
  // This engine version cannot fetch() from a custom scheme; the movie engine
  // loads everything with fetch().

  const nativeFetch = window.fetch ? window.fetch.bind(window) : null;
  window.fetch = function (input, init) {
    const url = new URL(input instanceof Request ? input.url : String(input), location.href);
    if (heldMovie && url.href === movieUrl) {
      console.log("[held] " + url.href);
      return heldMovie.gate.then(() => window.fetch(input, init));
    }
    if (siteHost) {
      // The site finds the files by the names the movie gives, as the
      // Player does (the server knows only their exact names).
      return siteHost.siteUrl(url.href).then((found) =>
        found === null ? new Response(null, { status: 404 }) : nativeFetch(found, init));
    }
    if (url.protocol !== "player:" && nativeFetch) return nativeFetch(input, init);
    return new Promise((resolve, reject) => {
      const xhr = new XMLHttpRequest();
      xhr.open((init && init.method) || "GET", url.href, true);
      xhr.responseType = "arraybuffer";
      xhr.onload = () => {
        const headers = new Headers();
        const type = xhr.getResponseHeader("Content-Type");
        if (type) headers.set("Content-Type", type);
        const status = xhr.status || 200;
        const response = new Response(status === 204 || status === 304 ? null : xhr.response, { status, headers });
        // The engine takes a movie's own URL (_url, loaderInfo.url, the key of
        // its saved objects) from the response; one built by hand has none.
        // A name in another letter case arrives redirected to the file's own.
        Object.defineProperty(response, "url", { value: xhr.responseURL || url.href });
        resolve(response);
      };
      xhr.onerror = () => reject(new TypeError("Failed to fetch " + url.href));
      xhr.send();
    });
  };

  // ---- Saved objects --------------------------------------------------------
  // The engine keeps shared objects in the page's local storage. The Player's
  // pages have no storage that outlives them (and two Players cannot share a
  // browser profile): their storage is the Player's own store, reached by
  // synchronous requests. An exported site keeps the browser's storage.

  function storageCall(op, key, value) {
    const xhr = new XMLHttpRequest();
    let url = PROTOCOL.storageUrl + "?op=" + op + "&key=" + encodeURIComponent(key);
    if (value !== undefined) url += "&value=" + encodeURIComponent(value);
    xhr.open("GET", url, false);
    try {
      xhr.send();
      return JSON.parse(xhr.responseText);
    } catch (e) {
      return {};
    }
  }

  if (!siteHost) {
    const hostStorage = new Proxy({}, {
      get(target, key) {
        if (typeof key !== "string") return undefined;
        const answer = storageCall("get", key);
        return typeof answer.value === "string" ? answer.value : undefined;
      },
      set(target, key, value) {
        storageCall("set", String(key), String(value));
        return true;
      },
      deleteProperty(target, key) {
        storageCall("remove", String(key));
        return true;
      },
    });
    Object.defineProperty(window, "localStorage", { get: () => hostStorage, configurable: true });
  }

  // ---- Links ------------------------------------------------------------------
  // A link that would run script in this page (javascript:) is stopped by the
  // page's content security policy; the host opens or refuses every other one.

  // The engine sends a link's variables as a form. The desktop's browser (or the
  // web page's new tab) gets the URL alone, so a POST's variables are lost, and
  // the trace says so.
  const nativeSubmit = HTMLFormElement.prototype.submit;
  HTMLFormElement.prototype.submit = function () {
    const post = String(this.method).toLowerCase() === "post";
    if (post) console.log("[link] " + this.action + " opens without its POST variables");
    if (!siteHost) return nativeSubmit.call(this);
    const url = new URL(this.action, location.href);
    if (!post) url.search = new URLSearchParams(new FormData(this)).toString();
    siteHost.openLink(url.href);
  };

  if (siteHost) {
    // On the web every link opens in a new tab (or nowhere), and the movie's
    // frame never navigates away from its movie.
    window.open = (url) => {
      siteHost.openLink(new URL(String(url), location.href).href);
      return null;
    };
    if (window.navigation) {
      window.navigation.addEventListener("navigate", (e) => {
        if (!e.cancelable || e.hashChange) return;
        e.preventDefault();
        siteHost.openLink(e.destination.url);
      });
    }
  }

  document.addEventListener("securitypolicyviolation", (e) => {
    if (e.violatedDirective.startsWith("script-src")) console.log("[link] refused javascript: " + e.sample);
  });

  // ---- What the host calls ------------------------------------------------

  function log(kind, text) {
    console.log("[" + kind + "] " + text);
  }

  // A mark of the start-up timeline (the host prints it under PLAYER_TRACE=1).
  function timeline(what) {
    console.log("[timeline] " + what);
  }

  // The movie engine reports a movie it cannot parse only on its log. A report
  // made before the movie given to load() has its metadata is about that movie
  // (not about one it loads later), and the host is told. Settled: the movie has
  // its metadata, or its failure has been told; nothing more is reported.
  let movieSettled = false;
  for (const level of ["error", "warn", "log"]) {
    const native = console[level].bind(console);
    console[level] = (...args) => {
      native(...args);
      const text = args.filter((a) => typeof a === "string").join(" ");
      if (player && !movieSettled && text.includes("Invalid SWF")) {
        movieSettled = true;
        request(PROTOCOL.kindMovieFailed, text.replace(/%c/g, ""));
      }
    };
  }

  window.playerHost = {
    // options: the font ({url, faces}), the longest a script may run, the
    // renderer to try first.
    load(url, base, options) {
      this.unload();
      const ruffle = window.RufflePlayer.newest();
      player = ruffle.createPlayer();
      movieUrl = new URL(url, location.href).href;
      movieSettled = false;
      drawnSize = "";
      player.addEventListener("loadedmetadata", () => {
        movieSettled = true;
        timeline("movie loaded");
      });
      // Loaded, then one frame run and one more drawn: the first frame is up.
      player.addEventListener("loadeddata", () => {
        requestAnimationFrame(() => requestAnimationFrame(() => {
          timeline("first frame");
          request(PROTOCOL.kindDrawn, "");
        }));
      });
      player.id = "movie";
      document.getElementById("stage").appendChild(player);
      player.onFSCommand = (command, args) => {
        hostCall(PROTOCOL.kindFsCommand, JSON.stringify([String(command), String(args)]));
        return true;
      };
      const loading = player;
      // The trace observer attaches to the instance that load() creates.
      player.ruffle().load(Object.assign({ url, base }, engineConfig(options || {})))
        .then(() => {
          timeline("movie engine ready");
          loading.traceObserver = (message) => log("trace", message);
        })
        .catch((e) => {
          log("error", e);
          if (!movieSettled) {
            movieSettled = true;
            request(PROTOCOL.kindMovieFailed, String(e));
          }
        });
    },
    unload() {
      if (player) player.remove();
      player = null;
    },
    play() {
      if (player) player.ruffle().resume();
    },
    hold(on) {
      if (on && !heldMovie) {
        let open;
        const gate = new Promise((resolve) => { open = resolve; });
        heldMovie = { gate, open };
      } else if (!on && heldMovie) {
        const { open } = heldMovie;
        heldMovie = null;
        open();
      }
    },
    stop() {
      if (player) player.ruffle().suspend();
    },
    // What the movie last drew, as a PNG data URL, for the window to show while
    // its view draws again; "" where it cannot be read back (WebGL keeps no
    // picture once it has been shown), and "later" until the movie has drawn at
    // the view's size in CSS pixels.
    layOut(width, height) {
      layOutAt(width, height);
    },
    picture(width, height) {
      layOutAt(width, height);
      const canvas = movieCanvas();
      if (!canvas || !canvas.width || !canvas.height || !canvas.getContext("2d")) return "";
      const near = (a, b) => Math.abs(a - b) <= 1;
      const scale = window.devicePixelRatio || 1;
      if (!near(canvas.width, width * scale) || !near(canvas.height, height * scale) ||
          drawnSize !== canvas.width + "x" + canvas.height) return "later";
      return canvas.toDataURL("image/png");
    },
    call(xml) {
      return callMovie(xml);
    },
  };
})();
