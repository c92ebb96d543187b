// One movie's frame: the movie engine loads its own files from this site.
window.RufflePlayer = { config: { publicPath: "ruffle/" } };
