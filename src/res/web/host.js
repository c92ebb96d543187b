// The movie engine of the Player's page loads its own files from the Player's
// resources. (A file, not inline: the page allows no inline script, so that a
// movie's javascript: link never runs in it.)
window.RufflePlayer = { config: { publicPath: "player://app/ruffle/" } };
